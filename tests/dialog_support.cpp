#include "dialog_support.h"

#include <winternl.h>

#include <algorithm>

#include "shell/shell.h"

static DialogScript *activeScript;
static const char kScriptClass[] = "MorvaneDialogScript";
static const UINT WM_RUN_ACTION = WM_APP + 1;
static const UINT WM_RUN_LATER = WM_APP + 2;
static const UINT_PTR kWatchdog = 1;
static const UINT kWatchdogMs = 20000;

DialogScript::DialogScript()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = kScriptClass;
    RegisterClassA(&wc);  // fails harmlessly when a previous script registered it
    window_ = CreateWindowExA(0, kScriptClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                              wc.hInstance, NULL);
    activeScript = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, HookProc, NULL, GetCurrentThreadId());
    SetTimer(window_, kWatchdog, kWatchdogMs, NULL);
}

DialogScript::~DialogScript()
{
    UnhookWindowsHookEx(hook_);
    KillTimer(window_, kWatchdog);
    DestroyWindow(window_);
    activeScript = NULL;
}

DialogScript &DialogScript::Then(Action action)
{
    actions_.push_back(action);
    return *this;
}

void DialogScript::Later(HWND dialog, Action action)
{
    later_.push_back(action);
    PostMessageA(window_, WM_RUN_LATER, 0, (LPARAM)dialog);
}

// A dialog counts as appearing when it is first shown: by then its WM_INITDIALOG has run and
// the modal loop is about to take the posted message.
LRESULT CALLBACK DialogScript::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *call = (const CWPRETSTRUCT *)lParam;
    DialogScript *script = activeScript;
    if (code == HC_ACTION && script && ClassOf(call->hwnd) == "#32770") {
        std::vector<HWND> &shown = script->shown_;
        bool known = std::find(shown.begin(), shown.end(), call->hwnd) != shown.end();
        if (call->message == WM_SHOWWINDOW && call->wParam && !known) {
            shown.push_back(call->hwnd);
            PostMessageA(script->window_, WM_RUN_ACTION, 0, (LPARAM)call->hwnd);
        } else if (call->message == WM_NCDESTROY && known) {
            shown.erase(std::find(shown.begin(), shown.end(), call->hwnd));
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

LRESULT CALLBACK DialogScript::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogScript *script = activeScript;
    if (script && message == WM_RUN_ACTION) {
        script->Run((HWND)lParam);
        return 0;
    }
    if (script && message == WM_RUN_LATER && !script->later_.empty()) {
        Action action = script->later_.front();
        script->later_.pop_front();
        if (IsWindow((HWND)lParam))
            action((HWND)lParam);
        return 0;
    }
    if (script && message == WM_TIMER && wParam == kWatchdog) {
        script->timedOut_ = true;
        script->EndAll();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void DialogScript::Run(HWND dialog)
{
    if (!IsWindow(dialog))
        return;
    if (actions_.empty()) {
        unexpected_.push_back(WindowText(dialog));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    Action action = actions_.front();
    actions_.pop_front();
    action(dialog);
}

void DialogScript::EndAll()
{
    std::vector<HWND> open = shown_;
    for (HWND dialog : open)
        EndDialog(dialog, IDCANCEL);
}

HWND CreateModeless(int resource, DLGPROC proc, HWND owner)
{
    return CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(resource), owner, proc, 0);
}

std::string WindowText(HWND window)
{
    std::string text((size_t)GetWindowTextLengthA(window) + 1, '\0');
    int length = GetWindowTextA(window, &text[0], (int)text.size());
    text.resize(length > 0 ? (size_t)length : 0);
    return text;
}

std::string ClassOf(HWND window)
{
    char name[64];
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

LONG StyleOf(HWND window)
{
    return GetWindowLongA(window, GWL_STYLE);
}

LONG ExStyleOf(HWND window)
{
    return GetWindowLongA(window, GWL_EXSTYLE);
}

// The dialog manager converts the position and the size each on its own, and so does this.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height)
{
    RECT units = {x, y, width, height};
    MapDialogRect(dialog, &units);
    RECT rect = {units.left, units.top, units.left + units.right, units.top + units.bottom};
    return rect;
}

RECT ControlRect(HWND dialog, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(NULL, dialog, (POINT *)&rect, 2);
    return rect;
}

std::vector<HWND> Controls(HWND dialog)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    return controls;
}

std::vector<int> TabOrder(HWND dialog)
{
    std::vector<int> order;
    HWND first = GetNextDlgTabItem(dialog, NULL, FALSE);
    HWND control = first;
    while (control && order.size() < 64) {
        order.push_back(GetDlgCtrlID(control));
        control = GetNextDlgTabItem(dialog, control, FALSE);
        if (control == first)
            break;
    }
    return order;
}

void PostKey(HWND control, WORD key)
{
    PostMessageA(control, WM_KEYDOWN, key, 1);
    PostMessageA(control, WM_KEYUP, key, 0xC0000001);
}

bool PumpUntil(const std::function<bool()> &condition)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > 5000)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Skips a name-or-ordinal field of a dialog template.
static const WORD *SkipNameOrOrdinal(const WORD *p)
{
    if (*p == 0)
        return p + 1;
    if (*p == 0xFFFF)
        return p + 2;
    while (*p++)
        ;
    return p;
}

static const WORD *AlignToDword(const WORD *p)
{
    return (const WORD *)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3);
}

// Reads an extended (DIALOGEX) template: header, menu, class, title and font, then the items.
std::vector<TemplateItem> TemplateItems(int resource)
{
    std::vector<TemplateItem> items;
    HRSRC found = FindResourceA(AppInstance, MAKEINTRESOURCEA(resource), (LPCSTR)RT_DIALOG);
    const WORD *p = found ? (const WORD *)LockResource(LoadResource(AppInstance, found)) : NULL;
    if (!p || p[0] != 1 || p[1] != 0xFFFF)
        return items;
    DWORD style = *(const DWORD *)(p + 6);
    int count = p[8];
    p = SkipNameOrOrdinal(p + 13);  // menu
    p = SkipNameOrOrdinal(p);       // class
    p = SkipNameOrOrdinal(p);       // title
    if (style & DS_SETFONT)
        p = SkipNameOrOrdinal(p + 3);  // size, weight, italic and charset, then the face
    for (int i = 0; i < count; i++) {
        p = AlignToDword(p);
        TemplateItem item;
        item.exStyle = *(const DWORD *)(p + 2);
        item.style = *(const DWORD *)(p + 4);
        item.x = (short)p[6];
        item.y = (short)p[7];
        item.width = (short)p[8];
        item.height = (short)p[9];
        item.id = *(const int *)(p + 10);
        p = SkipNameOrOrdinal(p + 12);  // class
        p = SkipNameOrOrdinal(p);       // title
        p += 1 + (*p + 1) / 2;          // creation data
        items.push_back(item);
    }
    return items;
}

// Wine has no GetGuiResources, but its 64-bit gdi32 keeps the process's GDI handle table
// where Windows once did, at the PEB's GdiSharedHandleTable: a used entry has a type.
struct GdiHandleEntry {
    ULONGLONG object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONGLONG user;
};

// GCC 12 at -O3 takes the inlined segment read in NtCurrentTeb for a read of an empty array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
static long CountGdiHandleTable()
{
#ifdef _WIN64
    const BYTE *peb = (const BYTE *)NtCurrentTeb()->ProcessEnvironmentBlock;
    const GdiHandleEntry *table = *(const GdiHandleEntry *const *)(peb + 0xF8);
    if (!table)
        return -1;
    long count = 0;
    for (int i = 0; i < 0x10000; i++)
        count += table[i].type != 0;
    return count;
#else
    return -1;
#endif
}
#pragma GCC diagnostic pop

static BOOL CALLBACK CountChild(HWND, LPARAM context)
{
    ++*(long *)context;
    return TRUE;
}

// EnumChildWindows reaches every descendant, not only the direct children.
static BOOL CALLBACK CountWindow(HWND window, LPARAM context)
{
    ++*(long *)context;
    EnumChildWindows(window, CountChild, context);
    return TRUE;
}

GuiCounts CountGui()
{
    GuiCounts counts;
    SetLastError(0);
    counts.gdi = (long)GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.user = (long)GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (counts.gdi == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        counts.gdi = CountGdiHandleTable();
        counts.user = -1;
    }
    counts.windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, (LPARAM)&counts.windows);
    return counts;
}

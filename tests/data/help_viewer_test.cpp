// Opens help.hlp from the current folder the way the settings dialog does
// (WinHelpA with HELP_CONTENTS) and checks what the viewer shows: its window
// caption must be the help title, and the page must begin with the contents
// topic's heading.
//
// Usage: help_viewer_test CAPTION HEADING
// Exit code 0 when both hold, 1 with the expected and actual text otherwise.
//
// Wine's viewer draws the page in a rich edit child of its main window
// (class "MS_WINHELP"); the page text is read from that child with
// WM_GETTEXT, which the system carries across processes.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const DWORD kDeadlineMs = 20000;

struct Viewer {
    HWND main = nullptr;
    HWND page = nullptr;
};

BOOL CALLBACK FindPage(HWND child, LPARAM param)
{
    char cls[64] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (_strnicmp(cls, "RichEdit", 8) == 0) {
        reinterpret_cast<Viewer*>(param)->page = child;
        return FALSE;
    }
    return TRUE;
}

Viewer FindViewer()
{
    Viewer v;
    v.main = FindWindowA("MS_WINHELP", nullptr);
    if (v.main)
        EnumChildWindows(v.main, FindPage, reinterpret_cast<LPARAM>(&v));
    return v;
}

std::string Caption(HWND hwnd)
{
    char text[256] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// The page's first line: the text up to the first line break.
std::string FirstLine(HWND page)
{
    static char text[65536];
    text[0] = '\0';
    SendMessageA(page, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    text[sizeof text - 1] = '\0';
    return std::string(text, std::strcspn(text, "\r\n"));
}

// Waits, handling this thread's messages, until done() holds or the deadline
// passes.
template <typename Condition>
bool WaitFor(Condition done)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > kDeadlineMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    return true;
}

int Fail(const char* what, const std::string& expected, const std::string& actual)
{
    std::printf("FAIL: %s\n  expected: \"%s\"\n  actual:   \"%s\"\n", what, expected.c_str(),
                actual.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::printf("usage: help_viewer_test CAPTION HEADING\n");
        return 2;
    }
    const std::string caption = argv[1];
    const std::string heading = argv[2];

    // WinHelpA does not return while the viewer asks where a missing file is.
    if (GetFileAttributesA("help.hlp") == INVALID_FILE_ATTRIBUTES) {
        char dir[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof dir, dir);
        return Fail("help.hlp in the current folder", "present", std::string("absent from ") + dir);
    }

    HWND owner = CreateWindowExA(0, "STATIC", "help test owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    // A viewer left open by someone else would show its page, not ours.
    if (FindWindowA("MS_WINHELP", nullptr)) {
        WinHelpA(owner, "help.hlp", HELP_QUIT, 0);
        if (!WaitFor([] { return FindWindowA("MS_WINHELP", nullptr) == nullptr; }))
            return Fail("earlier viewer closed", "closed", "still open");
    }
    if (!WinHelpA(owner, "help.hlp", HELP_CONTENTS, 0))
        return Fail("WinHelpA(HELP_CONTENTS)", "TRUE", "FALSE");

    Viewer v;
    bool shown = WaitFor([&] {
        v = FindViewer();
        return v.main && v.page && Caption(v.main) == caption && FirstLine(v.page) == heading;
    });

    int result = 0;
    if (!shown) {
        if (!v.main)
            result = Fail("viewer window (class MS_WINHELP)", "open", "not found");
        else if (Caption(v.main) != caption)
            result = Fail("viewer caption", caption, Caption(v.main));
        else if (!v.page)
            result = Fail("viewer page (rich edit child)", "present", "not found");
        else
            result = Fail("first line of the page", heading, FirstLine(v.page));
    }

    WinHelpA(owner, "help.hlp", HELP_QUIT, 0);
    if (v.main && !WaitFor([&] { return !IsWindow(v.main); })) {
        PostMessageA(v.main, WM_CLOSE, 0, 0);
        result = Fail("viewer closed by HELP_QUIT", "closed", "still open");
    }
    DestroyWindow(owner);
    if (result == 0)
        std::printf("viewer showed \"%s\" with caption \"%s\"\n", heading.c_str(), caption.c_str());
    return result;
}

#include "shell.h"

#include "../../res/resource.h"
#include "../platform/platform.h"
#include "../reminder/reminder.h"
#include "../store/store.h"


static void RegisterMainClass(HINSTANCE instance, const char *className)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MORVANE));
    wc.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDC_MORVANE);
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
}

static void AddTrayIcon(HINSTANCE instance)
{
    ZeroMemory(&TrayIcon, sizeof TrayIcon);
    TrayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = 0;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = WM_TRAYNOTIFY;
    TrayIcon.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MORVANE));
    // The shell reads the tip field of the form that cbSize names: 64 characters, not 128.
    lstrcpynA(TrayIcon.szTip, "Morvane",
              NOTIFYICONDATAA_V1_SIZE - FIELD_OFFSET(NOTIFYICONDATAA, szTip));
    Shell_NotifyIconA(NIM_ADD, &TrayIcon);
}

// Morvane runs from a folder its user can write to, and starts at every sign-in: nothing the
// system loads later on its behalf (sound drivers, the shell's handlers, the help viewer) may come
// from there or from the working folder. Windows before 8 without its update lacks the call, and
// keeps its old search order.
static void RestrictDllSearchToSystemFolder()
{
    typedef BOOL(WINAPI * SetDirectoriesProc)(DWORD);
    SetDirectoriesProc setDirectories = (SetDirectoriesProc)(void *)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (setDirectories)
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchToSystemFolder();
    InstanceMutex = CreateMutexA(NULL, FALSE, "quobeMorvane");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;
    AppInstance = instance;

    char title[100];
    char className[100];
    LoadStringA(instance, IDS_APP_TITLE, title, sizeof title);
    LoadStringA(instance, IDS_CLASSNAME, className, sizeof className);
    TrayMenu = GetSubMenu(LoadMenuA(instance, IDR_TRAYICON), 0);
    RegisterMainClass(instance, className);

    MainWindow = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                 CW_USEDEFAULT, 0, NULL, NULL, instance, NULL);
    if (!MainWindow)
        return 0;
    TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    AddTrayIcon(instance);
    SetTimer(MainWindow, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);

    if (IsFirstRun()) {
        LONG created = CreateStore();
        if (created != ERROR_SUCCESS) {
            FatalStoreError(created, "at RegCreateKeyEx on InitRegistry");
            return 0;
        }
        PlatformMessageBox(NULL,
                           "Tip : Double Click on the small TV icon below to add TV program schedules",
                           "Running Morvane for the first time", MB_SYSTEMMODAL | MB_ICONINFORMATION);
    }

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_MORVANE));
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return (int)msg.wParam;
}

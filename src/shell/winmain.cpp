#include "shell.h"

#include "../../res/resource.h"
#include "../platform/platform.h"
#include "../reminder/reminder.h"
#include "../store/store.h"


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
    if (!MainWindow) {
        DestroyProgramIcons();
        return 0;
    }
    TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    AddTrayIcon(instance);
    SetTimer(MainWindow, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);

    if (IsFirstRun()) {
        LONG created = CreateStore();
        if (created != ERROR_SUCCESS) {
            FatalStoreError(created, "at RegCreateKeyEx on InitRegistry");
            DestroyProgramIcons();
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
    DestroyProgramIcons();
    return (int)msg.wParam;
}

// The installer test's eyes inside the Wine prefix: installer_test.py installs, upgrades and
// removes the package and starts new sessions, and runs this driver to see what a user would
// see then. Each test is run on its own, with --gtest_filter, at one point of that sequence:
//
//   session_driver --gtest_filter=Session.MorvaneRunsFromTheInstallFolder FOLDER [alert|uninstall]
//   session_driver --gtest_filter=Session.NoMorvaneRuns
//   session_driver --gtest_filter=Install.AnOlderVersionIsRefusedWithItsMessage MSI MESSAGE
#include <gtest/gtest.h>

#include "../../res/resource.h"
#include "../e2e/e2e.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

using namespace e2e;

namespace {

std::vector<std::string> g_args;

std::string Arg(size_t index)
{
    return index < g_args.size() ? g_args[index] : std::string();
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

std::string WithoutTrailingBackslash(std::string path)
{
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

// The processes of a program, or only those the process parent started.
std::vector<DWORD> Processes(const char *exe, DWORD parent = 0)
{
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (Lower(entry.szExeFile) == exe && (!parent || entry.th32ParentProcessID == parent))
            found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

std::string ImagePath(HANDLE process)
{
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    if (!QueryFullProcessImageNameA(process, 0, path, &size))
        return "(unknown)";
    return path;
}

// The start of RTL_USER_PROCESS_PARAMETERS, which winternl.h keeps opaque; the fields are
// pointer-sized where the system's are, so the layout holds for either build.
struct ProcessParametersHead {
    ULONG maximumLength, length, flags, debugFlags;
    HANDLE consoleHandle;
    ULONG consoleFlags;
    HANDLE standardInput, standardOutput, standardError;
    UNICODE_STRING currentDirectory;
};

// Another process's current directory, read from its process parameters as a debugger would.
std::string CurrentDirectory(HANDLE process)
{
    typedef LONG(NTAPI * Query)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    Query query = (Query)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, NULL) != 0)
        return "(no process information)";
    PEB peb = {};
    ProcessParametersHead head = {};
    if (!ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, NULL) ||
        !ReadProcessMemory(process, peb.ProcessParameters, &head, sizeof head, NULL))
        return "(unreadable process parameters)";
    std::wstring wide(head.currentDirectory.Length / sizeof(WCHAR), L'\0');
    if (!ReadProcessMemory(process, head.currentDirectory.Buffer, &wide[0],
                           head.currentDirectory.Length, NULL))
        return "(unreadable current directory)";
    char text[MAX_PATH * 2] = "";
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), (int)wide.size(), text, sizeof text - 1, NULL,
                        NULL);
    return text;
}

void DeleteEntry(const std::string &name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvane", 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

// Morvane as a sign-in or the end of an install starts it: from the install folder, given as
// the first argument, by itself. With "alert" as the second, an entry for the next minute must
// alert as usual. The copy is ended with "Suspend Morvane" at the end, as a user would; with
// "uninstall", with its Uninstall, which leaves the removal of the package to msiexec.
TEST(Session, MorvaneRunsFromTheInstallFolder)
{
    const std::string folder = WithoutTrailingBackslash(Arg(0));
    ASSERT_FALSE(folder.empty()) << "usage: FOLDER [alert]";

    DWORD pid = 0;
    HWND main = NULL;
    DWORD start = GetTickCount();
    ASSERT_TRUE(WaitUntil([&] {
        for (DWORD candidate : Processes("morvane.exe")) {
            std::vector<HWND> windows = WindowsOf(candidate, "MORVANE", "morvane");
            if (!windows.empty()) {
                pid = candidate;
                main = windows[0];
                return true;
            }
        }
        return false;
    })) << "no window of class MORVANE came up";
    printf("Morvane's main window after %lu ms\n", GetTickCount() - start);
    EXPECT_EQ(1u, Processes("morvane.exe").size()) << "one copy runs";

    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE,
                                 FALSE, pid);
    ASSERT_TRUE(process != NULL);
    EXPECT_EQ(Lower(folder + "\\morvane.exe"), Lower(ImagePath(process)));
    EXPECT_EQ(Lower(folder), Lower(WithoutTrailingBackslash(CurrentDirectory(process))))
        << "the working directory is the install folder, where the sounds and help are";
    EXPECT_FALSE(IsWindowVisible(main));

    if (Arg(1) == "alert") {
        DueEntry entry = NextMinuteEntry("The News");
        PutEntry(entry.name, "The News");
        DWORD wait = (DWORD)((entry.at - Now()) / (kSecond / 1000)) + DeadlineMs;
        HWND alert = WaitWindow(pid, "#32770", "Morvane alert", wait);
        EXPECT_TRUE(alert != NULL) << "no alert for " << entry.name;
        if (alert) {
            EXPECT_EQ(entry.text, BoxText(alert));
            EXPECT_TRUE(Press(alert, IDOK));
        }
        DeleteEntry(entry.name);
    }

    HANDLE removal = NULL;
    if (Arg(1) == "uninstall") {
        PostMessageA(main, WM_COMMAND, IDM_UNINSTALL, 0);
        EXPECT_TRUE(Press(WaitWindow(pid, "#32770", "Morvane Uninstall"), IDYES));
        HWND told = WaitWindow(pid, "#32770", "Morvane Uninstall");
        EXPECT_EQ("Removed Morvane registry key.\nWindows now removes Morvane.", BoxText(told));
        std::vector<DWORD> msiexec = Processes("msiexec.exe", pid);
        EXPECT_EQ(1u, msiexec.size()) << "Morvane has started msiexec, held until the box goes";
        removal = msiexec.empty() ? NULL : OpenProcess(SYNCHRONIZE, FALSE, msiexec[0]);
        EXPECT_TRUE(Press(told, IDOK));
    } else {
        PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    }
    DWORD code = 99;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, DeadlineMs)) << "Morvane has ended";
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(process);
    if (removal) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(removal, 4 * DeadlineMs)) << "msiexec runs on";
        CloseHandle(removal);
    }
}

// Run at once after a new session has started: every start-up item has been started by then.
TEST(Session, NoMorvaneRuns)
{
    EXPECT_TRUE(Processes("morvane.exe").empty()) << "a copy of morvane.exe runs";
}

// An interactive install of an older package over a newer one: Windows Installer shows the
// package's message, and the install ends with ERROR_INSTALL_FAILURE.
TEST(Install, AnOlderVersionIsRefusedWithItsMessage)
{
    const std::string msi = Arg(0), message = Arg(1);
    ASSERT_FALSE(msi.empty() || message.empty()) << "usage: MSI MESSAGE";
    std::string commandLine = "msiexec.exe /i \"" + msi + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                               &info))
        << commandLine;

    HWND box = NULL;
    EXPECT_TRUE(WaitUntil([&] {
        for (HWND window : WindowsOf(info.dwProcessId, "#32770", NULL))
            if (IsWindowVisible(window) && !BoxText(window).empty())
                box = window;
        return box != NULL || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0;
    })) << "msiexec neither showed a message nor ended";
    ASSERT_TRUE(box != NULL) << "msiexec ended without a message";
    EXPECT_EQ(message, BoxText(box));
    EXPECT_TRUE(Press(box, IDOK));

    DWORD code = 0;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, DeadlineMs));
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ((DWORD)ERROR_INSTALL_FAILURE, code);
    if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    g_args.assign(argv + 1, argv + argc);
    return RUN_ALL_TESTS();
}

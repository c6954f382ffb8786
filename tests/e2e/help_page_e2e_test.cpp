// Windows 10 and 11 have no Help viewer: there the overview's Help hands the help page to the
// shell, which opens it in the user's browser. This driver runs in a prefix of its own that
// reports Windows 10, where a recorder registered for .html stands in for the browser.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "../../res/resource.h"
#include "e2e.h"

using namespace e2e;

namespace {

const char kRecordKey[] = "Software\\Morvane tests";  // where the recorder writes

// The version as the system knows it. GetVersionExA would not tell: this driver has no
// manifest, so from Windows 8.1 on it would hear 6.2.
DWORD SystemMajorVersion()
{
    typedef LONG(WINAPI * RtlGetVersionProc)(OSVERSIONINFOW *);
    RtlGetVersionProc rtlGetVersion = (RtlGetVersionProc)(void *)GetProcAddress(
        GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!rtlGetVersion || rtlGetVersion(&version) != 0)
        return 0;
    return version.dwMajorVersion;
}

bool SetDefaultValue(const std::string &path, const std::string &text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE *)text.c_str(),
                                 (DWORD)text.size() + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// .html files open with the recorder beside this driver, the way a browser registers itself.
bool RegisterRecorderForPages()
{
    return SetDefaultValue(".html", "MorvaneTests.Page") &&
           SetDefaultValue("MorvaneTests.Page\\shell\\open\\command",
                           "\"" + BinFolder() + "\\shell_open_recorder.exe\" \"%1\"");
}

// The file the recorder was last handed; empty until it has run.
std::string Recorded()
{
    char file[1024] = "";
    DWORD size = sizeof file - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "";
    if (RegQueryValueExA(key, "opened", NULL, NULL, (BYTE *)file, &size) != ERROR_SUCCESS)
        file[0] = '\0';
    RegCloseKey(key);
    return file;
}

class HelpOnWindows10 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearStore();
        SHDeleteKeyA(HKEY_CURRENT_USER, kRecordKey);
    }
    void TearDown() override
    {
        ClearStore();
        SHDeleteKeyA(HKEY_CURRENT_USER, kRecordKey);
    }
};

TEST_F(HelpOnWindows10, HelpHandsTheHelpPageToTheShellAndOpensNoViewer)
{
    ASSERT_EQ(10u, SystemMajorVersion()) << "the prefix does not report Windows 10";
    ASSERT_TRUE(RegisterRecorderForPages());
    Morvane morvane;
    HWND main = StartQuietly(morvane);
    ASSERT_TRUE(main != NULL);
    PostMessageA(main, WM_COMMAND, IDM_SETTINGS, 0);
    HWND overview = WaitWindow(morvane.Pid(), "#32770", "Morvane Settings");
    ASSERT_TRUE(overview != NULL);

    Click(overview, IDC_HELPFILE);
    // Posted after Help, About is handled after it; and WinHelpA returns only once its viewer's
    // window exists. So with the About box up, a viewer asked for by Help would be up too.
    Click(overview, IDC_ABOUT);
    HWND about = WaitWindow(morvane.Pid(), "#32770", "About Morvane");
    ASSERT_TRUE(about != NULL);
    HWND viewer = FindWindowA("MS_WINHELP", NULL);
    EXPECT_TRUE(viewer == NULL) << "a help viewer opened";
    if (viewer) {  // left open, it would hold ctest's output until the run times out
        PostMessageA(viewer, WM_CLOSE, 0, 0);
        WaitUntil([&] { return !IsWindow(viewer); });
    }

    std::string opened;
    EXPECT_TRUE(WaitUntil([&] {
        opened = Recorded();
        return !opened.empty();
    })) << "the shell opened no page";
    EXPECT_EQ(BinFolder() + "\\help.html", opened);

    ASSERT_TRUE(Press(about, IDOK));
    ASSERT_TRUE(Press(overview, IDOK));
    EXPECT_EQ(0, morvane.Suspend());
}

}  // namespace

// The release archive, unpacked into an empty folder: this driver is copied into that folder
// and runs morvane.exe from there, as a user who unzipped it would. MORVANE_VERSION* come from
// the CMake project.
#include <gtest/gtest.h>

#include "../e2e/e2e.h"

#include <psapi.h>

#include <cctype>
#include <string>

using namespace e2e;

namespace {

const char kTipCaption[] = "Running Morvane for the first time";

std::string Exe()
{
    return BinFolder() + "\\morvane.exe";
}

class Unpacked : public ::testing::Test {
protected:
    void SetUp() override { ClearStore(); }
    void TearDown() override { ClearStore(); }
};

TEST_F(Unpacked, StartsGreetsShowsItsTrayWindowAndEndsWithCodeZero)
{
    Morvane morvane;
    ASSERT_TRUE(morvane.Start()) << Exe();
    HWND tip = WaitWindow(morvane.Pid(), "#32770", kTipCaption);
    ASSERT_TRUE(tip != NULL) << "a first start from the unpacked folder greets the user";
    ASSERT_TRUE(Press(tip, IDOK));

    HWND main = morvane.MainWindow();
    ASSERT_TRUE(main != NULL) << "no window of class MORVANE titled morvane";
    EXPECT_FALSE(IsWindowVisible(main));
    if (TrayIconCount() >= 0) {
        EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 1; })) << "the icon is in the tray";
    }

    EXPECT_EQ(0, morvane.Suspend());
}

// The help file must lie beside the program, where the overview's Help button looks for it;
// if it were missing, the viewer would ask where it is instead of opening.
TEST_F(Unpacked, TheOverviewsHelpButtonOpensTheHelpThatShipsBesideIt)
{
    Morvane morvane;
    HWND main = StartQuietly(morvane);
    ASSERT_TRUE(main != NULL);

    PostMessageA(main, 1234, 0, WM_LBUTTONDBLCLK);
    HWND overview = WaitWindow(morvane.Pid(), "#32770", "Morvane Settings");
    ASSERT_TRUE(overview != NULL);
    Click(overview, 7);  // "&Help"

    HWND viewer = NULL;
    EXPECT_TRUE(WaitUntil([&] {
        viewer = FindWindowA("MS_WINHELP", NULL);
        return viewer != NULL && Text(viewer) == "Morvane Help";
    })) << "the viewer shows " << (viewer ? Text(viewer) : std::string("nothing"));
    if (viewer) {
        PostMessageA(viewer, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
    }

    EXPECT_TRUE(Press(overview, IDOK));
    EXPECT_EQ(0, morvane.Suspend());
}

TEST_F(Unpacked, TheVersionResourceNamesMorvaneAndTheBuildsVersion)
{
    std::string exe = Exe();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << exe;
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, &block[0]));

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", (void **)&fixed, &length));
    ASSERT_EQ(sizeof *fixed, length);
    const DWORD ms = (MORVANE_VERSION_MAJOR << 16) | MORVANE_VERSION_MINOR;
    const DWORD ls = MORVANE_VERSION_PATCH << 16;
    EXPECT_EQ(ms, fixed->dwFileVersionMS);
    EXPECT_EQ(ls, fixed->dwFileVersionLS);
    EXPECT_EQ(ms, fixed->dwProductVersionMS);
    EXPECT_EQ(ls, fixed->dwProductVersionLS);
    EXPECT_EQ((DWORD)VFT_APP, fixed->dwFileType);

    struct {
        const char *name;
        const char *expected;
    } strings[] = {{"ProductName", "Morvane"},
                   {"FileVersion", MORVANE_VERSION},
                   {"ProductVersion", MORVANE_VERSION},
                   {"OriginalFilename", "morvane.exe"}};
    for (const auto &s : strings) {
        SCOPED_TRACE(s.name);
        // The language and code page under which Explorer's Details tab looks the strings up.
        struct {
            WORD language, codePage;
        } *translation = NULL;
        ASSERT_TRUE(VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", (void **)&translation,
                                   &length));
        char path[128];
        wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
                  translation->codePage, s.name);
        char *text = NULL;
        ASSERT_TRUE(VerQueryValueA(&block[0], path, (void **)&text, &length)) << path;
        EXPECT_STREQ(s.expected, text);
    }
}

// The manifest asks for Common Controls 6: once the About box has created its button, the
// program has loaded that version from the side-by-side store rather than none at all.
TEST_F(Unpacked, TheManifestBringsInCommonControls6)
{
    Morvane morvane;
    HWND main = StartQuietly(morvane);
    ASSERT_TRUE(main != NULL);
    PostMessageA(main, WM_COMMAND, 104, 0);  // "&About Morvane"
    HWND about = WaitWindow(morvane.Pid(), "#32770", "About Morvane");
    ASSERT_TRUE(about != NULL);

    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, morvane.Pid());
    ASSERT_TRUE(process != NULL);
    std::string comctl;
    HMODULE modules[512];
    DWORD needed = 0;
    if (EnumProcessModules(process, modules, sizeof modules, &needed))
        for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; i++) {
            char path[MAX_PATH] = "";
            GetModuleFileNameExA(process, modules[i], path, sizeof path);
            std::string lower(path);
            for (char &c : lower)
                c = (char)tolower((unsigned char)c);
            if (lower.size() >= 12 && lower.compare(lower.size() - 12, 12, "comctl32.dll") == 0)
                comctl = lower;
        }
    CloseHandle(process);
    EXPECT_NE(std::string::npos, comctl.find("microsoft.windows.common-controls"))
        << "comctl32 loaded from: " << (comctl.empty() ? "nowhere" : comctl);
    EXPECT_NE(std::string::npos, comctl.find("_6.")) << comctl;

    EXPECT_TRUE(Press(about, IDOK));
    EXPECT_EQ(0, morvane.Suspend());
}

// What Wine cannot show: current Windows turns off registry virtualisation for a program whose
// manifest names an execution level, and the schedule's writes under HKEY_LOCAL_MACHINE would
// then fail for a standard user.
TEST_F(Unpacked, TheManifestNamesNoExecutionLevelAndDeclaresDpiAwareness)
{
    HMODULE image = LoadLibraryExA(Exe().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(image != NULL);
    HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_TRUE(found != NULL) << "no manifest with the identifier a process reads at start";
    const char *data = (const char *)LockResource(LoadResource(image, found));
    std::string manifest(data, SizeofResource(image, found));
    FreeLibrary(image);
    // Comments may talk about what is left out; only the markup counts.
    for (size_t open; (open = manifest.find("<!--")) != std::string::npos;) {
        size_t close = manifest.find("-->", open);
        ASSERT_NE(std::string::npos, close) << "unterminated comment";
        manifest.erase(open, close + 3 - open);
    }

    EXPECT_EQ(std::string::npos, manifest.find("requestedExecutionLevel"));
    EXPECT_EQ(std::string::npos, manifest.find("trustInfo"));
    EXPECT_NE(std::string::npos, manifest.find(">true</dpiAware>"));
    EXPECT_NE(std::string::npos, manifest.find(">system</dpiAwareness>"));
}

}  // namespace

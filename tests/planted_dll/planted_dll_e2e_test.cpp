// A winmm.dll planted beside a copy of morvane.exe, with Wine told to prefer a DLL found there
// (the search order Windows itself uses for a DLL that is not one of its KnownDLLs): the copy
// alerts with its sound and never loads the stranger.
#include <gtest/gtest.h>

#include "../e2e/e2e.h"

using namespace e2e;

TEST(PlantedDll, AnAlertWithItsSoundNeverLoadsAWinmmBesideTheProgram)
{
    // The build puts the planted DLL into this folder; the program and its sound join it.
    std::string folder = BinFolder() + "\\..\\planted";
    for (const char *file : {"morvane.exe", "warning.wav"})
        ASSERT_TRUE(CopyFileA((BinFolder() + "\\" + file).c_str(), (folder + "\\" + file).c_str(),
                              FALSE)) << file;
    std::string marker = folder + "\\planted.loaded";
    DeleteFileA(marker.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\winmm.dll").c_str()))
        << "no winmm.dll planted in " << folder;

    // Wine hands the override that ctest gives this driver on to the program it starts.
    char overrides[256] = "";
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    ASSERT_NE(nullptr, strstr(overrides, "winmm=n,b")) << "WINEDLLOVERRIDES is " << overrides;

    ClearStore();
    PutEntry("alertmode", "1");  // the warning sound
    DueEntry due = NextMinuteEntry("Planted");
    PutEntry(due.name, "Planted");
    Morvane morvane;
    ASSERT_TRUE(morvane.Start(folder) && morvane.WaitIdle());

    DWORD untilDue = (DWORD)((due.at - Now()) / (kSecond / 1000));
    HWND alert = WaitWindow(morvane.Pid(), "#32770", "Morvane alert", untilDue + DeadlineMs);
    ASSERT_TRUE(alert != NULL) << "no alert for " << due.name;
    EXPECT_EQ(due.text, BoxText(alert));
    ASSERT_TRUE(Press(alert, IDOK));
    EXPECT_EQ(0, morvane.Suspend());
    ClearStore();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str()))
        << "the winmm.dll planted beside morvane.exe ran inside it";
}

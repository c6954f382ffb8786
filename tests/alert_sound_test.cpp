// The alert sound dialog: the stored choice it shows, what OK and Escape store, and the Play and
// Stop buttons, which act when clicked and also when they gain or lose the focus.
#include "dialog_test_common.h"

#include <mmsystem.h>

namespace {

typedef DialogTest AlertSoundTest;

const DWORD kLoop = SND_FILENAME | SND_LOOP | SND_ASYNC;
const int kRadios[3] = {IDC_WARNING, IDC_DRUMS, IDC_NOAUDIO};

int CheckedRadio(HWND dialog)
{
    int checked = 0;
    for (int id : kRadios)
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED)
            checked = checked ? -1 : id;  // -1: more than one
    return checked;
}

// Sounds as a readable list: "warning.wav", "drums.wav" or "stop", each with the loop flags and
// each file from the program's folder.
std::vector<std::string> Sounds()
{
    const std::string folder = fake::ProgramFolder() + "\\";
    std::vector<std::string> sounds;
    for (const FakeSound &sound : fake::sounds) {
        EXPECT_EQ(kLoop, sound.flags);
        EXPECT_TRUE(sound.isStop || sound.file.compare(0, folder.size(), folder) == 0)
            << sound.file;
        sounds.push_back(sound.isStop ? "stop" : sound.file.substr(folder.size()));
    }
    return sounds;
}

std::string StoredMode()
{
    for (const RawValue &value : reg::AllValues())
        if (value.name == ALERTMODE_VALUE)
            return value.bytes;
    return "(none)";
}

TEST_F(AlertSoundTest, TheStoredChoiceIsCheckedAndTheFocusStartsOnWarning)
{
    struct Case {
        const char *stored;  // NULL: no value
        int radio;
    } cases[] = {
        {NULL, IDC_NOAUDIO}, {"1", IDC_WARNING},  {"2", IDC_DRUMS},      {"3", IDC_NOAUDIO},
        {" 1", IDC_WARNING}, {"+2", IDC_DRUMS},   {"01", IDC_WARNING},   {"0", IDC_NOAUDIO},
        {"4", IDC_NOAUDIO},  {"x1", IDC_NOAUDIO}, {"-1", IDC_NOAUDIO},   {"4294967297", IDC_NOAUDIO},
        {"", IDC_NOAUDIO},   {"2 drums", IDC_DRUMS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(none)");
        reg::ClearStore();
        if (c.stored)
            reg::PutString(ALERTMODE_VALUE, c.stored);
        int checked = 0, focus = 0;
        RunModal(IDD_ALERTSOUND, AlertSoundDialogProc, NULL, {[&](HWND dialog) {
                     checked = CheckedRadio(dialog);
                     focus = GetDlgCtrlID(GetFocus());
                     EndDialog(dialog, IDCANCEL);
                 }});
        EXPECT_EQ(c.radio, checked);
        EXPECT_EQ(IDC_WARNING, focus) << "the focus starts on the first radio button";
    }
}

// Opening the dialog and pressing Enter keeps what was chosen before: the first focus must not
// check another radio button on its way.
TEST_F(AlertSoundTest, OkAtOnceStoresTheChoiceItShowed)
{
    struct Case {
        const char *stored;
        const char *written;
    } cases[] = {{NULL, "3"}, {"1", "1"}, {"2", "2"}, {"3", "3"}, {"7", "3"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(none)");
        reg::ClearStore();
        if (c.stored)
            reg::PutString(ALERTMODE_VALUE, c.stored);
        EXPECT_EQ(IDOK, RunModal(IDD_ALERTSOUND, AlertSoundDialogProc, NULL,
                                 {[](HWND) { PostKey(GetFocus(), VK_RETURN); }}));
        EXPECT_EQ(std::string(c.written) + '\0', StoredMode());
    }
}

TEST_F(AlertSoundTest, OkStoresTheCheckedButtonsModeAndEscapeStoresNothing)
{
    struct Case {
        int radio;
        const char *mode;
    } cases[] = {{IDC_WARNING, "1"}, {IDC_DRUMS, "2"}, {IDC_NOAUDIO, "3"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        reg::ClearStore();
        reg::PutString("10700PMNews", "News");
        EXPECT_EQ(IDCANCEL, RunModal(IDD_ALERTSOUND, AlertSoundDialogProc, NULL, {[&](HWND dialog) {
                                         Click(dialog, c.radio);
                                         PostKey(GetFocus(), VK_ESCAPE);
                                     }}));
        EXPECT_EQ("(none)", StoredMode());
        EXPECT_EQ(IDOK, RunModal(IDD_ALERTSOUND, AlertSoundDialogProc, NULL, {[&](HWND dialog) {
                                     Click(dialog, c.radio);
                                     Click(dialog, IDOK);
                                 }}));
        EXPECT_EQ(std::string(c.mode) + '\0', StoredMode());
        EXPECT_EQ(2u, reg::AllValues().size()) << "the entry is untouched";
    }
}

TEST_F(AlertSoundTest, OkRecreatesAStoreDeletedFromOutside)
{
    HWND dialog = Open(IDD_ALERTSOUND, AlertSoundDialogProc);
    reg::ClearStore();
    SendDlgItemMessageA(dialog, IDC_DRUMS, BM_CLICK, 0, 0);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(std::string("2", 2), StoredMode());
}

// A click gives the button the focus and then presses it: two starts of its sound.
TEST_F(AlertSoundTest, PlayAndStopClicksPlayAndStopTheLoopingPreview)
{
    HWND dialog = Open(IDD_ALERTSOUND, AlertSoundDialogProc);
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, IDC_NOAUDIO));
    struct Step {
        int button;
        std::vector<std::string> sounds;
    } steps[] = {
        {IDC_PLAYWARNING, {"warning.wav", "warning.wav"}},
        // Leaving Play restarts its sound, then Play drums starts twice.
        {IDC_PLAYDRUMS, {"warning.wav", "drums.wav", "drums.wav"}},
        {IDC_STOPDRUMS, {"drums.wav", "stop", "stop"}},
        {IDC_STOPWARNING, {"stop", "stop", "stop"}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.button);
        fake::sounds.clear();
        Click(dialog, step.button);
        EXPECT_EQ(step.sounds, Sounds());
    }
    EXPECT_EQ(IDC_NOAUDIO, CheckedRadio(dialog)) << "previews choose nothing";
    EXPECT_EQ("(none)", StoredMode());
}

// Every focus change of a Play or Stop button counts as a press, including the dialog losing
// the activation to another window, as when an alert box opens on top of it.
TEST_F(AlertSoundTest, FocusChangesOfPlayAndStopActAsPresses)
{
    HWND dialog = Open(IDD_ALERTSOUND, AlertSoundDialogProc);
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    HWND other = CreateWindowExA(0, "STATIC", "another window", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                 50, NULL, NULL, NULL, NULL);
    SetForegroundWindow(dialog);
    struct Step {
        const char *what;
        std::function<void()> action;
        std::vector<std::string> sounds;
    } steps[] = {
        {"focus to Play warning", [&] { SetFocus(GetDlgItem(dialog, IDC_PLAYWARNING)); },
         {"warning.wav"}},
        {"focus on to OK", [&] { SetFocus(GetDlgItem(dialog, IDOK)); }, {"warning.wav"}},
        {"focus to Stop", [&] { SetFocus(GetDlgItem(dialog, IDC_STOPDRUMS)); }, {"stop"}},
        {"focus to Play drums", [&] { SetFocus(GetDlgItem(dialog, IDC_PLAYDRUMS)); },
         {"stop", "drums.wav"}},
        {"another window activated", [&] { SetForegroundWindow(other); }, {"drums.wav"}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        fake::sounds.clear();
        step.action();
        EXPECT_EQ(step.sounds, Sounds());
    }
    DestroyWindow(other);
}

// Closing leaves a preview playing: only Stop, a later alert or the end of the program stop it.
TEST_F(AlertSoundTest, ClosingDoesNotStopAPreview)
{
    for (int closer : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(closer);
        fake::sounds.clear();
        RunModal(IDD_ALERTSOUND, AlertSoundDialogProc, NULL, {[&](HWND dialog) {
                     Click(dialog, IDC_PLAYDRUMS);
                     SendMessageA(dialog, WM_COMMAND, closer, 0);
                 }});
        std::vector<std::string> sounds = Sounds();
        ASSERT_FALSE(sounds.empty());
        EXPECT_EQ("drums.wav", sounds.back());
    }
}

}  // namespace

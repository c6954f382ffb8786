// The four dialogs as the user meets them: every control's kind, text, identifier and place in
// dialog units, the dialog's own frame and font, the tab order and where the focus starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../res/resource.h"
#include "dialog_support.h"
#include "dialogs/dialogs.h"
#include "fake_platform.h"
#include "registry.h"
#include "shell/shell.h"

namespace {

enum Kind {
    PUSH,            // push button
    DEFAULT_PUSH,    // the dialog's default push button
    SMALL_PUSH,      // push button that reports focus changes
    GROUP,           // group box without caption
    CENTRED_GROUP,   // group box with a centred caption
    DAY_BOX,         // read-only multi-line centred edit with a thin sunken edge
    NAME_BOX,        // bordered multi-line edit that does not scroll
    DROP_LIST,       // unsorted drop-down list
    SORTED_LIST,     // sorted drop-down list
    RADIO,           // automatic radio button
    LABEL,           // static text
    CENTRED_LABEL,   // centred static text
    ICON             // static icon 107
};

struct Row {
    int id;
    Kind kind;
    const char *text;
    int x, y, width, height;
};

struct Layout {
    const char *name;
    int resource;
    DLGPROC proc;
    const char *caption;
    int width, height;
    bool systemMenu;
    bool minimizeBox;
    bool foreground;
    std::vector<Row> rows;
    std::vector<int> tabStops;  // in template order
    // What Tab walks once the dialog has initialised itself; the sound dialog keeps all its
    // radio buttons, whichever of them it checked ("No Audio" with an empty store).
    std::vector<int> tabOrder;
    int firstFocus;
};

const std::vector<Layout> &Layouts()
{
    static const std::vector<Layout> layouts = {
        {"settings", IDD_SETTINGS, SettingsDialogProc, "Morvane Settings", 388, 226, true, true, true,
         {
             {IDC_ADD, PUSH, "&Add an entry", 171, 157, 83, 14},
             {-1, CENTRED_GROUP, " MONDAY ", 7, 7, 121, 70},
             {-1, CENTRED_GROUP, " TUESDAY ", 134, 7, 121, 70},
             {-1, CENTRED_GROUP, " WEDNESDAY ", 260, 7, 121, 70},
             {-1, CENTRED_GROUP, " THURSDAY ", 7, 77, 121, 70},
             {-1, CENTRED_GROUP, " FRIDAY ", 134, 77, 121, 70},
             {-1, CENTRED_GROUP, " SATURDAY ", 260, 77, 121, 70},
             {-1, CENTRED_GROUP, " SUNDAY ", 7, 147, 121, 70},
             {IDC_REMOVE, PUSH, "&Remove an entry", 171, 173, 83, 14},
             {IDC_HOWTOALERT, PUSH, "&How to alert", 257, 157, 83, 14},
             {IDOK, DEFAULT_PUSH, "&OK", 171, 204, 169, 14},
             {1043, DAY_BOX, "", 13, 19, 109, 53},
             {1044, DAY_BOX, "", 140, 19, 109, 53},
             {1045, DAY_BOX, "", 266, 19, 109, 53},
             {1046, DAY_BOX, "", 13, 89, 109, 53},
             {1048, DAY_BOX, "", 140, 89, 109, 53},
             {1049, DAY_BOX, "", 266, 89, 109, 53},
             {1047, DAY_BOX, "", 13, 159, 109, 53},
             {IDC_HELPFILE, PUSH, "&Help", 257, 173, 83, 14},
             {-1, GROUP, "", 135, 147, 252, 78},
             {2, ICON, "", 362, 200, 20, 20},
             {IDC_ABOUT, PUSH, "A&bout Morvane", 171, 189, 83, 14},
             {IDC_UNINSTALL, PUSH, "&Uninstall", 257, 189, 83, 14},
         },
         {3, 4, 6, 1, 1043, 1044, 1045, 1046, 1048, 1049, 1047, 7, 5, 8},
         {3, 4, 6, 1, 1043, 1044, 1045, 1046, 1048, 1049, 1047, 7, 5, 8},
         IDC_ADD},
        {"add entry", IDD_ADDENTRY, AddEntryDialogProc, "Add entry", 199, 111, false, false, false,
         {
             {1055, DROP_LIST, "<Select a day>", 79, 14, 90, 123},
             {1043, NAME_BOX, "", 79, 35, 90, 12},
             {1060, DROP_LIST, "<hr>", 79, 56, 35, 136},
             {1063, DROP_LIST, "<min>", 114, 56, 35, 128},
             {1061, RADIO, "AM", 154, 54, 29, 9},
             {1062, RADIO, "PM", 154, 63, 29, 9},
             {IDCANCEL, PUSH, "Cancel", 47, 85, 50, 14},
             {IDOK, DEFAULT_PUSH, "Add", 102, 85, 50, 14},
             {-1, LABEL, "Program name", 18, 37, 50, 10},
             {-1, LABEL, "Program time", 18, 58, 50, 10},
             {-1, LABEL, "Day", 18, 16, 50, 10},
             {-1, GROUP, "", 6, 1, 188, 105},
         },
         {1055, 1043, 1060, 1063, 1061, 1062, 2, 1},
         {1055, 1043, 1060, 1063, 1061, 1062, 2, 1},
         IDC_DAYLIST},
        {"remove entry", IDD_REMOVEENTRY, RemoveEntryDialogProc, "Remove entry", 171, 69, false,
         false, false,
         {
             {IDOK, DEFAULT_PUSH, "Remove", 86, 38, 50, 14},
             {IDCANCEL, PUSH, "Cancel", 34, 38, 50, 14},
             {-1, GROUP, "", 5, 0, 161, 66},
             {1055, SORTED_LIST, "<Select entry to remove>", 30, 17, 111, 148},
         },
         {1, 2, 1055},
         {1, 2, 1055},
         IDOK},
        {"alert sound", IDD_ALERTSOUND, AlertSoundDialogProc, "How to alert", 191, 111, false, false,
         false,
         {
             {-1, LABEL,
              "An alert dialog box pops up when a its time to watch TV. In addition to that you "
              "can specify an audible alert:",
              16, 13, 151, 26},
             {1037, RADIO, "Warning.wav", 41, 38, 62, 13},
             {3, SMALL_PUSH, "Play", 103, 40, 23, 9},
             {6, SMALL_PUSH, "Stop", 127, 40, 23, 9},
             {1038, RADIO, "Drums.wav", 41, 53, 62, 13},
             {7, SMALL_PUSH, "Play", 103, 55, 23, 9},
             {8, SMALL_PUSH, "Stop", 127, 55, 23, 9},
             {1039, RADIO, "No Audio", 41, 68, 62, 13},
             {-1, GROUP, "", 6, 1, 179, 105},
             {IDOK, DEFAULT_PUSH, "OK", 71, 86, 50, 14},
         },
         {1037, 1038, 1039, 1},
         {1037, 1038, 1039, 1},
         IDC_WARNING},
        {"about", IDD_ABOUTBOX, AboutDialogProc, "About Morvane", 133, 122, true, false, false,
         {
             {2, ICON, "", 56, 16, 20, 20},
             {IDOK, DEFAULT_PUSH, "OK", 47, 88, 38, 13},
             {-1, CENTRED_LABEL,
              "Morvane 1.0, a reminder for weekly TV programmes\nWritten by the Morvane developers",
              2, 65, 129, 20},
         },
         {1},
         {1},
         IDOK},
    };
    return layouts;
}

std::string KindName(Kind kind)
{
    static const char *const names[] = {"push",  "default push", "small push", "group",
                                        "centred group", "day box", "name box", "drop list",
                                        "sorted list", "radio", "label", "centred label",
                                        "icon"};
    return names[kind];
}

class TemplateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppInstance = GetModuleHandleA(NULL);
        fake::Reset();
        reg::ClearStore();
    }
    void TearDown() override { reg::ClearStore(); }
};

void CheckKind(HWND dialog, HWND control, Kind kind)
{
    LONG style = StyleOf(control);
    LONG exStyle = ExStyleOf(control);
    LONG button = style & BS_TYPEMASK;
    switch (kind) {
    case PUSH:
    case DEFAULT_PUSH:
    case SMALL_PUSH:
        // Which push button looks like the default follows the focus; the template's default
        // is the one the dialog reports.
        EXPECT_EQ("Button", ClassOf(control));
        EXPECT_TRUE(button == BS_PUSHBUTTON || button == BS_DEFPUSHBUTTON) << button;
        EXPECT_EQ(kind == SMALL_PUSH, (style & BS_NOTIFY) != 0) << "focus changes reported";
        if (kind == DEFAULT_PUSH) {
            EXPECT_EQ(MAKELONG(GetDlgCtrlID(control), DC_HASDEFID),
                      (LONG)SendMessageA(dialog, DM_GETDEFID, 0, 0));
        }
        break;
    case GROUP:
    case CENTRED_GROUP:
        EXPECT_EQ("Button", ClassOf(control));
        EXPECT_EQ(BS_GROUPBOX, button);
        EXPECT_EQ(kind == CENTRED_GROUP, (style & BS_CENTER) == BS_CENTER) << "caption centred";
        break;
    case DAY_BOX:
        EXPECT_EQ("Edit", ClassOf(control));
        EXPECT_EQ(ES_READONLY | ES_MULTILINE | ES_CENTER,
                  style & (ES_READONLY | ES_MULTILINE | ES_CENTER | ES_RIGHT));
        EXPECT_EQ(0, style & (WS_BORDER | WS_VSCROLL | WS_HSCROLL)) << "no border, no scroll bars";
        EXPECT_EQ(0, style & ES_AUTOHSCROLL) << "long lines wrap";
        EXPECT_EQ(WS_EX_STATICEDGE, exStyle & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE));
        break;
    case NAME_BOX:
        EXPECT_EQ("Edit", ClassOf(control));
        EXPECT_EQ(ES_MULTILINE, style & (ES_MULTILINE | ES_READONLY | ES_WANTRETURN));
        EXPECT_EQ(0, style & (ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_VSCROLL | WS_HSCROLL));
        EXPECT_TRUE((style & WS_BORDER) || (exStyle & WS_EX_CLIENTEDGE)) << "has a border";
        break;
    case DROP_LIST:
    case SORTED_LIST:
        EXPECT_EQ("ComboBox", ClassOf(control));
        EXPECT_EQ(CBS_DROPDOWNLIST, style & 3);
        EXPECT_EQ(kind == SORTED_LIST, (style & CBS_SORT) != 0);
        break;
    case RADIO:
        EXPECT_EQ("Button", ClassOf(control));
        EXPECT_EQ(BS_AUTORADIOBUTTON, button);
        break;
    case LABEL:
    case CENTRED_LABEL:
        EXPECT_EQ("Static", ClassOf(control));
        EXPECT_EQ(kind == LABEL ? SS_LEFT : SS_CENTER, style & SS_TYPEMASK);
        break;
    case ICON:
        EXPECT_EQ("Static", ClassOf(control));
        EXPECT_EQ(SS_ICON, style & SS_TYPEMASK);
        EXPECT_EQ(0, style & SS_NOTIFY) << "the icon sends no command";
        EXPECT_TRUE(SendMessageA(control, STM_GETICON, 0, 0) != 0);
        break;
    }
}

// A drop-down list's window is its closed field; its template height is checked below.
void CheckPlace(HWND dialog, HWND control, const Row &row)
{
    RECT expected = DialogUnits(dialog, row.x, row.y, row.width, row.height);
    RECT actual = ControlRect(dialog, control);
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    if (row.kind == ICON)
        return;  // the live control takes its picture's size; the template's is checked below
    EXPECT_EQ(expected.right, actual.right);
    if (row.kind != DROP_LIST && row.kind != SORTED_LIST) {
        EXPECT_EQ(expected.bottom, actual.bottom);
    }
}

TEST_F(TemplateTest, EveryControlHasItsKindTextIdentifierAndPlace)
{
    for (const Layout &layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        HWND dialog = CreateModeless(layout.resource, layout.proc);
        ASSERT_TRUE(dialog != NULL);
        std::vector<HWND> controls = Controls(dialog);
        ASSERT_EQ(layout.rows.size(), controls.size());
        for (size_t i = 0; i < controls.size(); i++) {
            const Row &row = layout.rows[i];
            SCOPED_TRACE("control " + std::to_string(i) + " (" + KindName(row.kind) + " \"" +
                         row.text + "\")");
            EXPECT_EQ(row.id, GetDlgCtrlID(controls[i]));
            if (row.kind != ICON) {
                EXPECT_EQ(row.text, WindowText(controls[i]));
            }
            CheckKind(dialog, controls[i], row.kind);
            CheckPlace(dialog, controls[i], row);
        }
        DestroyWindow(dialog);
    }
}

// What the live windows do not show: every control's box in dialog units as written (an icon
// control shows at its picture's size, a drop-down list's open height is the platform's),
// which controls are tab stops (Tab skips radio buttons that are not checked), a drop-down
// list's scroll bar, and the default push button, whose look follows the focus.
TEST_F(TemplateTest, TemplatesCarryWhatTheWindowsHide)
{
    for (const Layout &layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        std::vector<TemplateItem> items = TemplateItems(layout.resource);
        ASSERT_EQ(layout.rows.size(), items.size());
        for (size_t i = 0; i < items.size(); i++) {
            const Row &row = layout.rows[i];
            const TemplateItem &item = items[i];
            SCOPED_TRACE("control " + std::to_string(i) + " (" + KindName(row.kind) + ")");
            EXPECT_EQ(row.id, item.id);
            EXPECT_EQ(row.x, item.x);
            EXPECT_EQ(row.y, item.y);
            EXPECT_EQ(row.width, item.width);
            EXPECT_EQ(row.height, item.height);
            if (row.kind == DROP_LIST || row.kind == SORTED_LIST) {
                EXPECT_NE(0u, item.style & WS_VSCROLL);
            }
            DWORD button = item.style & BS_TYPEMASK;
            if (row.kind == PUSH || row.kind == SMALL_PUSH) {
                EXPECT_EQ((DWORD)BS_PUSHBUTTON, button);
            }
            if (row.kind == DEFAULT_PUSH) {
                EXPECT_EQ((DWORD)BS_DEFPUSHBUTTON, button);
            }
            bool tabStop = std::count(layout.tabStops.begin(), layout.tabStops.end(), row.id) > 0;
            EXPECT_EQ(tabStop, (item.style & WS_TABSTOP) != 0);
        }
    }
}

TEST_F(TemplateTest, DialogFrameCaptionSizeAndFont)
{
    for (const Layout &layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        HWND dialog = CreateModeless(layout.resource, layout.proc);
        ASSERT_TRUE(dialog != NULL);
        EXPECT_EQ(layout.caption, WindowText(dialog));
        LONG style = StyleOf(dialog);
        EXPECT_EQ(WS_POPUP | WS_CAPTION | DS_MODALFRAME,
                  style & (WS_POPUP | WS_CHILD | WS_CAPTION | DS_MODALFRAME));
        EXPECT_EQ(layout.systemMenu, (style & WS_SYSMENU) != 0);
        EXPECT_EQ(layout.minimizeBox, (style & WS_MINIMIZEBOX) != 0);
        EXPECT_EQ(0, style & (WS_MAXIMIZEBOX | WS_THICKFRAME)) << "fixed size";

        RECT client, expected = DialogUnits(dialog, 0, 0, layout.width, layout.height);
        GetClientRect(dialog, &client);
        EXPECT_EQ(expected.right, client.right);
        EXPECT_EQ(expected.bottom, client.bottom);

        LOGFONTA font = {};
        HFONT handle = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
        ASSERT_TRUE(handle != NULL);
        GetObjectA(handle, sizeof font, &font);
        EXPECT_STREQ("MS Sans Serif", font.lfFaceName);
        HDC screen = GetDC(NULL);
        EXPECT_EQ(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), font.lfHeight);
        ReleaseDC(NULL, screen);
        DestroyWindow(dialog);
    }
}

TEST_F(TemplateTest, TabStopsFollowTheTemplateOrder)
{
    for (const Layout &layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        HWND dialog = CreateModeless(layout.resource, layout.proc);
        ASSERT_TRUE(dialog != NULL);
        EXPECT_EQ(layout.tabOrder, TabOrder(dialog));
        DestroyWindow(dialog);
    }
}

// Opened as the program opens them: modal, shown, and centred on the screen's work area; the
// overview also comes to the foreground.
TEST_F(TemplateTest, OpenedModalTheyAreCentredWithTheFocusOnTheirFirstControl)
{
    for (const Layout &layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        int focus = 0;
        bool foreground = false;
        RECT window = {};
        DialogScript script;
        script.Then([&](HWND dialog) {
            focus = GetDlgCtrlID(GetFocus());
            foreground = GetForegroundWindow() == dialog;
            GetWindowRect(dialog, &window);
            EndDialog(dialog, IDCANCEL);
        });
        INT_PTR result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(layout.resource), NULL,
                                         layout.proc, 0);
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_EQ(0u, script.Pending());
        EXPECT_EQ(layout.firstFocus, focus);
        if (layout.foreground) {
            EXPECT_TRUE(foreground);
        }
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_NEAR((work.left + work.right) / 2, (window.left + window.right) / 2, 1);
        EXPECT_NEAR((work.top + work.bottom) / 2, (window.top + window.bottom) / 2, 1);
    }
}

}  // namespace

// What the dialog behaviour tests share: a clean store and platform for each test, and short
// ways to run a dialog modal with a script and to read its lists and boxes.
#ifndef MORVANE_DIALOG_TEST_COMMON_H
#define MORVANE_DIALOG_TEST_COMMON_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "../res/resource.h"
#include "dialog_support.h"
#include "dialogs/dialogs.h"
#include "fake_platform.h"
#include "registry.h"
#include "shell/shell.h"
#include "store/store.h"

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppInstance = GetModuleHandleA(NULL);
        OverviewHandle = NULL;
        fake::Reset();
        reg::ClearStore();
    }
    void TearDown() override
    {
        for (HWND window : modeless_)
            if (IsWindow(window))
                DestroyWindow(window);
        reg::ClearStore();
    }

    // A dialog made from its real template, modeless, destroyed at the end of the test.
    HWND Open(int resource, DLGPROC proc, HWND owner = NULL)
    {
        HWND dialog = CreateModeless(resource, proc, owner);
        modeless_.push_back(dialog);
        return dialog;
    }

    // Runs a dialog modal; each action gets the next dialog that appears (this one first).
    INT_PTR RunModal(int resource, DLGPROC proc, HWND owner,
                     const std::vector<DialogScript::Action> &actions)
    {
        DialogScript script;
        script_ = &script;
        for (const DialogScript::Action &action : actions)
            script.Then(action);
        INT_PTR result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(resource), owner, proc, 0);
        EXPECT_EQ(0u, script.Pending()) << "a scripted dialog never appeared";
        EXPECT_TRUE(script.Unexpected().empty()) << "unscripted: " << script.Unexpected()[0];
        EXPECT_FALSE(script.TimedOut());
        script_ = NULL;
        return result;
    }

    // Within a modal run: an action on the dialog after the messages already posted to it.
    void Later(HWND dialog, DialogScript::Action action) { script_->Later(dialog, action); }

private:
    std::vector<HWND> modeless_;
    DialogScript *script_ = NULL;
};

// Presses a button as a mouse click does: it takes the focus, then reports the click.
inline void Click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

inline std::vector<std::string> ListItems(HWND dialog, int id)
{
    std::vector<std::string> items;
    LRESULT count = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        std::string text((size_t)SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, i, 0) + 1, '\0');
        SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, i, (LPARAM)&text[0]);
        items.push_back(text.c_str());
    }
    return items;
}

inline std::string Selected(HWND dialog, int id)
{
    LRESULT item = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    if (item < 0)
        return "(none)";
    return ListItems(dialog, id)[(size_t)item];
}

inline std::string ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

inline std::string JoinLines(const std::vector<std::string> &lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); i++)
        text += (i == 0 ? "" : "\r\n") + lines[i];
    return text;
}

// The names of the store's values, in the platform's enumeration order.
inline std::vector<std::string> StoredNames()
{
    std::vector<std::string> names;
    for (const RawValue &value : reg::AllValues())
        names.push_back(value.name);
    return names;
}

#endif

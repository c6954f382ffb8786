// Helpers for tests that open the real dialogs: a script that drives modal dialogs from inside
// their own message loops, layout and tab-order readers, and counts of live GUI objects.
#ifndef MORVANE_DIALOG_SUPPORT_H
#define MORVANE_DIALOG_SUPPORT_H

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Each dialog of the thread that appears gets the next action, run from a posted message once
// the dialog is shown and its loop runs; so an action may inspect it, press its buttons and
// open further dialogs. A dialog that appears with no action left is cancelled and recorded.
// A watchdog ends every dialog if the script has not finished within twenty seconds, so a broken
// script fails instead of hanging the run.
class DialogScript {
public:
    typedef std::function<void(HWND dialog)> Action;

    DialogScript();
    ~DialogScript();
    DialogScript(const DialogScript &) = delete;
    DialogScript &operator=(const DialogScript &) = delete;

    DialogScript &Then(Action action);
    // Runs an action on a dialog once the messages already posted (say, a key) are handled.
    void Later(HWND dialog, Action action);
    size_t Pending() const { return actions_.size(); }
    // Captions of dialogs that appeared with no action left for them.
    const std::vector<std::string> &Unexpected() const { return unexpected_; }
    bool TimedOut() const { return timedOut_; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run(HWND dialog);
    void EndAll();

    HHOOK hook_ = NULL;
    HWND window_ = NULL;
    std::deque<Action> actions_;
    std::deque<Action> later_;
    std::vector<HWND> shown_;
    std::vector<std::string> unexpected_;
    bool timedOut_ = false;
};

// A dialog created modeless (and hidden) from its real template, for inspection.
HWND CreateModeless(int resource, DLGPROC proc, HWND owner = NULL);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);
LONG StyleOf(HWND window);
LONG ExStyleOf(HWND window);
// A rectangle given in dialog units, in the dialog's pixels.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height);
// A control's window rectangle in its dialog's client coordinates.
RECT ControlRect(HWND dialog, HWND control);
// The dialog's controls in template order.
std::vector<HWND> Controls(HWND dialog);
// Identifiers in tab order, from the first tab stop round to the last.
std::vector<int> TabOrder(HWND dialog);
// Sends the dialog a key press as a user's would arrive: posted to the focus, then its loop
// hands it to the dialog manager.
void PostKey(HWND control, WORD key);
// Pumps this thread's messages until the condition holds or five seconds pass.
bool PumpUntil(const std::function<bool()> &condition);

// One control as the compiled template gives it, before any window exists.
struct TemplateItem {
    DWORD style;
    DWORD exStyle;
    int id;
    short x, y, width, height;
};
std::vector<TemplateItem> TemplateItems(int resource);

// Live objects of the process as far as the platform tells them; -1 where it does not.
struct GuiCounts {
    long gdi;      // GDI objects
    long user;     // USER objects
    long windows;  // windows of this thread, children included
};
GuiCounts CountGui();

#endif

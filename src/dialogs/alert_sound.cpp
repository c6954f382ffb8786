// The alert sound dialog: chooses which sound, if any, loops while an alert is open, and
// previews each sound.
#include "dialogs.h"

#include "../../res/resource.h"
#include "../platform/platform.h"
#include "../store/store.h"

static const int Radios[3] = {IDC_WARNING, IDC_DRUMS, IDC_NOAUDIO};

// Checking a radio button makes it its group's only tab stop under Common Controls 6, but not
// under the older button class. Every radio button stays a tab stop, as the template has them,
// so that Tab walks the same way and the focus starts on "Warning.wav" with either.
static void CheckStoredMode(HWND dialog)
{
    DWORD mode = ReadAlertMode();
    int radio = mode == 1 ? IDC_WARNING : mode == 2 ? IDC_DRUMS : IDC_NOAUDIO;
    SendDlgItemMessageA(dialog, radio, BM_SETCHECK, BST_CHECKED, 0);
    for (int id : Radios) {
        HWND button = GetDlgItem(dialog, id);
        SetWindowLongA(button, GWL_STYLE, GetWindowLongA(button, GWL_STYLE) | WS_TABSTOP);
    }
}

static void StoreCheckedMode(HWND dialog)
{
    static const struct {
        int radio;
        const char *mode;
    } choices[3] = {{IDC_WARNING, "1"}, {IDC_DRUMS, "2"}, {IDC_NOAUDIO, "3"}};
    for (int i = 0; i < 3; i++)
        if (SendDlgItemMessageA(dialog, choices[i].radio, BM_GETCHECK, 0, 0) == BST_CHECKED)
            WriteStoreValue(ALERTMODE_VALUE, choices[i].mode);
}

// The Play and Stop buttons also report gaining and losing the focus, and each report counts
// as a press: only the identifier is looked at.
INT_PTR CALLBACK AlertSoundDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CheckStoredMode(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            StoreCheckedMode(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_PLAYWARNING:
        case IDC_PLAYDRUMS:
            PlayProgramSound(LOWORD(wParam) == IDC_PLAYWARNING ? "warning.wav" : "drums.wav");
            return TRUE;
        case IDC_STOPWARNING:
        case IDC_STOPDRUMS:
            StopProgramSound();
            return TRUE;
        }
        break;
    }
    return FALSE;
}

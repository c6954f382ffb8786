// The weekly overview and the three dialogs it opens.
#ifndef MORVANE_DIALOGS_H
#define MORVANE_DIALOGS_H

#include <windows.h>

// The overview that last received a message; refreshes and uninstall act on it.
extern HWND OverviewHandle;

// Opens the weekly overview, modal and without an owner, as the tray does.
void OpenSettingsDialog();

// A heap block that grows as a scan adds to it; zero-initialised it is empty.
struct TextBlock {
    char *bytes;
    SIZE_T used;
    SIZE_T room;
};
// Appends size bytes; false, with the block unchanged, when it cannot grow to hold them.
bool AppendToBlock(TextBlock *block, const void *bytes, SIZE_T size);
void FreeBlock(TextBlock *block);

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AddEntryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RemoveEntryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AlertSoundDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif

// The remove dialog: lists the programme name of every entry and deletes every entry whose
// programme name is the chosen one, whatever its day and time.
#include "dialogs.h"

#include <string.h>

#include "../../res/resource.h"
#include "../shell/shell.h"
#include "../store/store.h"

// Item data that marks the placeholder, whose text a programme may share.
enum { PLACEHOLDER_ITEM = 1 };

// The values the list is built from and the delete pass considers: entry keys, whose seventh
// character is the "M" of AM or PM. The alert sound setting is not one of them.
static bool IsEntryValue(const StoreValue *value)
{
    return lstrlenA(value->name) > 6 && value->name[6] == 'M';
}

static bool ListEntry(const StoreValue *value, void *context)
{
    if (value->outcome == ERROR_MORE_DATA)
        return true;  // too long to be listed; the others still are
    if (value->outcome != ERROR_SUCCESS)
        return false;
    if (IsEntryValue(value)) {
        LRESULT item = SendMessageA((HWND)context, CB_ADDSTRING, 0, (LPARAM)value->data);
        if (item >= 0)
            SendMessageA((HWND)context, CB_SETITEMDATA, (WPARAM)item, 0);
    }
    return true;
}

// The sorted list may put a name before the placeholder; nothing is chosen until the user
// chooses, so the placeholder is selected wherever it landed.
static void FillList(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_ENTRYLIST);
    LRESULT placeholder = SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)"<Select entry to remove>");
    SendMessageA(list, CB_SETITEMDATA, (WPARAM)placeholder, PLACEHOLDER_ITEM);
    EnumerateStore(KEY_ALL_ACCESS, ListEntry, list);
    LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < count; item++)
        if (SendMessageA(list, CB_GETITEMDATA, (WPARAM)item, 0) == PLACEHOLDER_ITEM) {
            SendMessageA(list, CB_SETCURSEL, (WPARAM)item, 0);
            break;
        }
}

// What a delete pass looks for, and the names of the entries it found: one after another, each
// with its terminator.
struct RemovePass {
    const char *programme;
    TextBlock names;
    bool cutShort;  // the block could not grow, so the scan ended before the last value
};

static bool CollectMatch(const StoreValue *value, void *context)
{
    if (value->outcome == ERROR_MORE_DATA)
        return true;
    if (value->outcome != ERROR_SUCCESS)
        return false;
    RemovePass *pass = (RemovePass *)context;
    if (IsEntryValue(value) && strcmp(value->data, pass->programme) == 0 &&
        !AppendToBlock(&pass->names, value->name, (SIZE_T)lstrlenA(value->name) + 1)) {
        pass->cutShort = true;
        return false;
    }
    return true;
}

// Deleting a value while scanning would shift the next one under the index just visited, so
// the scan only collects names and the deleting comes after it. Should memory run out before
// the scan ends, the names found so far go and the scan starts again for the rest; a round
// that deletes nothing ends it, so a store that refuses deletion cannot keep it going.
static void RemoveProgramme(const char *programme)
{
    RemovePass pass = {programme, TextBlock(), false};
    bool deletedAny;
    do {
        pass.names.used = 0;
        pass.cutShort = false;
        EnumerateStore(KEY_ALL_ACCESS, CollectMatch, &pass);
        deletedAny = false;
        for (SIZE_T at = 0; at < pass.names.used; at += (SIZE_T)lstrlenA(pass.names.bytes + at) + 1)
            if (DeleteStoreValue(pass.names.bytes + at))
                deletedAny = true;
    } while (pass.cutShort && deletedAny);
    FreeBlock(&pass.names);
}

// Every listed name fits: it came from the store, whose texts are at most 249 characters.
static void RemoveChosen(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_ENTRYLIST);
    LRESULT item = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (item < 0 || SendMessageA(list, CB_GETITEMDATA, (WPARAM)item, 0) == PLACEHOLDER_ITEM)
        return;
    char programme[STORE_DATA_ROOM];
    GetDlgItemTextA(dialog, IDC_ENTRYLIST, programme, STORE_DATA_ROOM);
    RemoveProgramme(programme);
}

INT_PTR CALLBACK RemoveEntryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillList(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            RemoveChosen(dialog);
            EndDialog(dialog, IDOK);
            SendMessageA(OverviewHandle, WM_INITDIALOG, 0, 0);
            RefreshTrayTip();
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

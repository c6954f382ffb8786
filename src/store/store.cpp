#include "store.h"

#include <shlwapi.h>

bool IsFirstRun()
{
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, STORE_KEY, 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result == ERROR_FILE_NOT_FOUND;
}

LONG CreateStore()
{
    HKEY key;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, STORE_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, NULL, &key, NULL);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result;
}

// Reads the alertmode text into text (ALERTMODE_ROOM); an empty text when the key or the
// value is missing, is not a string, or does not fit.
static void ReadAlertModeText(char *text)
{
    text[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, STORE_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD type = REG_NONE;
    DWORD size = ALERTMODE_ROOM;
    LONG result = RegQueryValueExA(key, ALERTMODE_VALUE, NULL, &type, (BYTE *)text, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) {
        text[0] = '\0';
        return;
    }
    // The stored text need not carry its terminator.
    text[size < ALERTMODE_ROOM ? size : ALERTMODE_ROOM - 1] = '\0';
}

DWORD AlertModeNumber(const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    DWORD value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        DWORD digit = *p - '0';
        if (value > (0xFFFFFFFFu - digit) / 10)
            return 0xFFFFFFFFu;
        value = value * 10 + digit;
    }
    return negative ? 0u - value : value;
}

DWORD ReadAlertMode()
{
    char text[ALERTMODE_ROOM];
    ReadAlertModeText(text);
    return AlertModeNumber(text);
}

char ReadAlertModeChar()
{
    char text[ALERTMODE_ROOM];
    ReadAlertModeText(text);
    return text[0];
}

void WriteStoreValue(const char *name, const char *text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, STORE_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)lstrlenA(text) + 1);
    RegCloseKey(key);
}

// One RegEnumValueA call with fresh rooms. Anyone can write into the key, so a value that is
// not terminated must not reach a reader as if it were; returns false for a value that is
// not a string at all, which is not the program's and is passed over.
static bool ReadValueAt(HKEY key, StoreValue *value)
{
    DWORD nameLength = STORE_NAME_ROOM;
    DWORD dataSize = STORE_DATA_ROOM;
    DWORD type = REG_NONE;
    value->outcome = RegEnumValueA(key, value->index, value->name, &nameLength, NULL, &type,
                                   (BYTE *)value->data, &dataSize);
    if (value->outcome != ERROR_SUCCESS) {
        value->name[0] = value->data[0] = '\0';
        return true;
    }
    value->name[nameLength < STORE_NAME_ROOM ? nameLength : STORE_NAME_ROOM - 1] = '\0';
    value->data[dataSize < STORE_DATA_ROOM ? dataSize : STORE_DATA_ROOM - 1] = '\0';
    return type == REG_SZ;
}

LONG EnumerateStore(REGSAM access, StoreVisitor visit, void *context)
{
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, STORE_KEY, 0, access, &key);
    if (result != ERROR_SUCCESS)
        return result;
    StoreValue value;
    for (value.index = 0; visit; value.index++) {
        if (!ReadValueAt(key, &value))
            continue;
        if (value.outcome == ERROR_NO_MORE_ITEMS || !visit(&value, context))
            break;
    }
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

bool DeleteStoreValue(const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, STORE_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void DeleteStore()
{
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, STORE_KEY);
}

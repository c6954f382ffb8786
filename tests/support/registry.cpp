#include "registry.h"

#include <shlwapi.h>

#include <stdexcept>

static const char kKey[] = "Software\\Morvane";

namespace reg {
void ClearStore()
{
    LONG result = SHDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("cannot delete the store key");
}

bool StoreExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void PutRaw(const std::string &name, DWORD type, const std::string &bytes)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create the store key");
    LONG result = RegSetValueExA(key, name.c_str(), 0, type, (const BYTE *)bytes.data(),
                                 (DWORD)bytes.size());
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot write value " + name);
}

void PutString(const std::string &name, const std::string &text)
{
    PutRaw(name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

std::vector<RawValue> AllValues()
{
    std::vector<RawValue> values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    std::vector<char> name(16384), data(65536);
    for (DWORD index = 0;; index++) {
        DWORD nameLength = (DWORD)name.size(), size = (DWORD)data.size(), type = 0;
        LONG result = RegEnumValueA(key, index, name.data(), &nameLength, NULL, &type,
                                    (BYTE *)data.data(), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            throw std::runtime_error("test enumeration failed");
        values.push_back(RawValue{std::string(name.data(), nameLength), type,
                                  std::string(data.data(), size)});
    }
    RegCloseKey(key);
    return values;
}
}  // namespace reg

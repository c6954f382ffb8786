// Direct registry access for tests: set up the store as an outsider would, read it back with
// rooms larger than the program's, independent of the code under test.
#ifndef MORVANE_TEST_REGISTRY_H
#define MORVANE_TEST_REGISTRY_H

#include <windows.h>

#include <string>
#include <vector>

struct RawValue {
    std::string name;
    DWORD type;
    std::string bytes;  // the data exactly as stored
};

namespace reg {
void ClearStore();  // deletes the key with everything in it
bool StoreExists();
void PutString(const std::string &name, const std::string &text);  // REG_SZ with terminator
void PutRaw(const std::string &name, DWORD type, const std::string &bytes);
// Every value in the platform's enumeration order.
std::vector<RawValue> AllValues();
}  // namespace reg

#endif

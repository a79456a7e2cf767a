// Content types from the registry: the "Content Type" value of the key named
// by the extension under HKEY_CLASSES_ROOT.
#include <windows.h>

#include "Limits.h"
#include "Platform.h"

namespace portavex {

bool FindContentType(const char* extension, char* type) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, extension, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD kind = 0;
    DWORD size = kContentTypeSize;
    LONG status =
        RegQueryValueExA(key, "Content Type", nullptr, &kind, reinterpret_cast<BYTE*>(type), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || kind != REG_SZ || size == 0) return false;
    // The stored text need not end with its terminator; one must fit.
    if (type[size - 1] != '\0') {
        if (size >= kContentTypeSize) return false;
        type[size] = '\0';
    }
    return true;
}

}  // namespace portavex

// Path combination through the shell's PathCombineA, which inserts a
// separator and resolves "." and ".." segments.
#include <shlwapi.h>
#include <windows.h>

#include <cstring>

#include "Limits.h"
#include "Platform.h"

namespace portavex {

bool CombinePath(char* out, size_t size, const char* root, const char* name) {
    // PathCombineA writes up to MAX_PATH characters and knows only '\'.
    if (size < MAX_PATH) return false;
    char windowsName[MAX_PATH];
    size_t length = std::strlen(name);
    if (length >= sizeof(windowsName)) return false;
    for (size_t i = 0; i <= length; i++) windowsName[i] = name[i] == '/' ? '\\' : name[i];
    return PathCombineA(out, root, windowsName) != nullptr;
}

}  // namespace portavex

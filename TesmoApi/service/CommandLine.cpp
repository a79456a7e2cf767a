#include "service/CommandLine.h"

namespace {

struct strSwitchName {
    const char* name;
    eSwitch value;
};

// Compared in this order; the first match decides.
const strSwitchName kSwitches[] = {
    {"/Install", eSwitch::Install},
    {"/AdmInstall", eSwitch::AdmInstall},
    {"/Uninstall", eSwitch::Uninstall},
    {"/AdmUninstall", eSwitch::AdmUninstall},
};

// ASCII only, so the result does not depend on the process locale.
char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

eSwitch FindSwitch(const char* text) {
    if (text == nullptr) return eSwitch::Unknown;
    for (const strSwitchName& entry : kSwitches) {
        if (EqualIgnoringCase(text, entry.name)) return entry.value;
    }
    return eSwitch::Unknown;
}

// The administrator is a member of the local Administrators group, and
// messages are message boxes.
#include <windows.h>

#include "service/HostSystem.h"
#include "service/InstallerPlatform.h"

eMembership TestAdministrator(strFailure* failure) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        *failure = {"AllocateAndInitializeSid", GetLastError()};
        if (administrators != nullptr) FreeSid(administrators);
        return eMembership::Unknown;
    }
    BOOL member = FALSE;
    const BOOL tested = CheckTokenMembership(nullptr, administrators, &member);
    *failure = {"CheckTokenMembership", GetLastError()};
    FreeSid(administrators);
    if (!tested) return eMembership::Unknown;
    return member ? eMembership::Member : eMembership::NotMember;
}

void ShowMessageBox(const char* text, unsigned flags) {
    MessageBoxA(FindWindowA(nullptr, kMessageTitle), text, kMessageTitle, flags);
}

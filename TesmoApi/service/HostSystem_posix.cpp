// The administrator is root, units go where systemd looks for the
// administrator's own, and accounts are the system's.
#include <pwd.h>
#include <unistd.h>

#include "service/HostSystem.h"
#include "service/InstallerPlatform.h"

eMembership TestAdministrator(strFailure* /*failure*/) {
    return geteuid() == 0 ? eMembership::Member : eMembership::NotMember;
}

const char* SystemdUnitFolder() {
    return "/etc/systemd/system";
}

bool FindAccount(const char* name, unsigned* user, unsigned* group) {
    const passwd* account = getpwnam(name);
    if (account == nullptr) return false;
    *user = account->pw_uid;
    *group = account->pw_gid;
    return true;
}

#include "AdministratorRights.h"

#include <windows.h>
#include <sddl.h>

bool HasAdministratorRights() {
    // An administrator's token that is not elevated holds the Administrators group for denying only,
    // which this check does not count.
    PSID administrators = nullptr;
    if (!ConvertStringSidToSidA("S-1-5-32-544", &administrators)) return false;
    BOOL member = FALSE;
    const bool ok = CheckTokenMembership(nullptr, administrators, &member) != FALSE;
    LocalFree(administrators);
    return ok && member;
}

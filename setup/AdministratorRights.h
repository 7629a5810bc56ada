// Whether the program runs with administrator rights in effect: an elevated administrator or the
// local system account. A standard user, or an administrator whose rights are not in effect
// (not elevated), has none.
#pragma once

bool HasAdministratorRights();

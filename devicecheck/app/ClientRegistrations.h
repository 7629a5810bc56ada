// The registration of the TovUSB channel with each ICA Client on this PC, from the installer's
// read-only queries.
#pragma once

#include <vector>

#include "CheckText.h"

// One entry per ICA Client found (the machine-wide ones, 32-bit first, then the one the user running
// the device check installed for themselves); empty when there is none.
std::vector<ClientRegistration> FindClientRegistrations();

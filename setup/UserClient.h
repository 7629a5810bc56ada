// The ICA Client that a user installed for themselves, without administrator rights: its engine
// lives in "%LOCALAPPDATA%\Citrix\ICA Client" and it reads its virtual drivers from the same
// module keys as the machine-wide client, under HKEY_CURRENT_USER. Its bitness is that of its
// engine ("wfica32.exe" for the 32-bit client; a 64-bit client's engine may have another
// "wfica*.exe" name), read from the engine's PE header.
#pragma once

#include <string>

#include "ICAClients.h"

namespace installer {

struct UserClient {
    std::string folder;  // with a trailing separator
    ClientBitness bitness = ClientBitness::k32;
};

// The per-user client of the user running this program: the folder holds an engine of a machine
// type we have a driver for, and HKEY_CURRENT_USER holds the client's "ICA 3.0" module key. False
// when there is no such client.
bool FindUserClient(UserClient& client);

}  // namespace installer

// Whether a program that would run as the local system account can be replaced by someone who is
// not an administrator: then that someone's code would run as the local system account. Read
// from the security descriptors of the program file, its folder and every folder above it (entries
// that only pass on to new objects, such as CREATOR OWNER's, are ignored; denials are ignored too,
// which can only make the answer stricter). What lets someone replace it:
//   the program file:      write, append, delete, change its permissions or its owner;
//   its folder:            add a file or a subfolder, delete a child, delete, change its
//                          permissions or its owner;
//   each folder above it:  delete a child, delete, change its permissions or its owner (creating
//                          folders, which C:\ allows every user, is harmless);
//   any of them:           being its owner (an owner can always change the permissions).
// Trusted are the Administrators group, the local system account, TrustedInstaller, and the
// account running the check when it is itself an administrator with its rights in effect.
#pragma once

#include <string>

namespace installer {

// "" when only trusted accounts can replace `program` (a full local path); else what lets someone
// else do it, as words for the log: "Everyone (S-1-1-0) can add files to C:\Users\Public".
std::string WhoElseCanReplace(const std::string& program);

}  // namespace installer

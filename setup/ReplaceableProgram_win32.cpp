#include "ReplaceableProgram.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "AdministratorRights.h"
#include "LogText.h"

namespace installer {

namespace {

// NT SERVICE\TrustedInstaller.
constexpr const char* kTrustedInstallerSid = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

enum class Place { kProgram, kFolder, kFolderAbove };

struct Right {
    DWORD mask;
    const char* what;  // "... can <what> <path>"
};

// The rights that let their holder replace what the task runs, per place, each with its words.
std::vector<Right> RightsThatCount(Place place) {
    switch (place) {
        case Place::kProgram:
            return {{FILE_WRITE_DATA | FILE_APPEND_DATA, "write"}, {DELETE, "delete"},
                    {WRITE_DAC, "change the permissions of"}, {WRITE_OWNER, "take the ownership of"}};
        case Place::kFolder:
            return {{FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY, "add files to"}, {FILE_DELETE_CHILD, "delete files in"},
                    {DELETE, "delete"}, {WRITE_DAC, "change the permissions of"},
                    {WRITE_OWNER, "take the ownership of"}};
        default:
            return {{FILE_DELETE_CHILD, "delete files in"}, {DELETE, "delete"},
                    {WRITE_DAC, "change the permissions of"}, {WRITE_OWNER, "take the ownership of"}};
    }
}

class Sid {
public:
    explicit Sid(const char* text) { ConvertStringSidToSidA(text, &sid); }
    ~Sid() { LocalFree(sid); }
    Sid(const Sid&) = delete;
    Sid& operator=(const Sid&) = delete;
    bool Is(PSID other) const { return sid && other && EqualSid(sid, other); }

private:
    PSID sid = nullptr;
};

// The account this program runs as, when it is an administrator with its rights in effect (an
// elevated administrator, or the local system account): it could replace the program anyway.
bool IsRunningAdministrator(PSID sid) {
    if (!HasAdministratorRights()) return false;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    union {
        TOKEN_USER user;
        char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer;
    DWORD length = 0;
    const bool same = GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &length) &&
                      EqualSid(buffer.user.User.Sid, sid);
    CloseHandle(token);
    return same;
}

bool IsTrusted(PSID sid) {
    static const Sid kAdministrators("S-1-5-32-544"), kSystem("S-1-5-18"), kTrustedInstaller(kTrustedInstallerSid);
    return kAdministrators.Is(sid) || kSystem.Is(sid) || kTrustedInstaller.Is(sid) || IsRunningAdministrator(sid);
}

// "Everyone (S-1-1-0)", or the SID alone when it has no name here.
std::string AccountText(PSID sid) {
    char* text = nullptr;
    std::string sidText = ConvertSidToStringSidA(sid, &text) ? text : "an unknown account";
    LocalFree(text);
    char name[256] = {}, domain[256] = {};
    DWORD nameLength = sizeof name, domainLength = sizeof domain;
    SID_NAME_USE use;
    if (!LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &use) || !name[0]) return sidText;
    return std::string(domain[0] ? std::string(domain) + "\\" : "") + name + " (" + sidText + ")";
}

// What lets someone untrusted replace the program at `path` (a file or a folder, in its role
// `place`); "" when nothing does.
std::string CheckPlace(const std::string& path, Place place) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return FormatLogText("the permissions of %s cannot be read", path.c_str());
    std::string found;
    if (!owner || !IsTrusted(owner)) {
        found = owner ? FormatLogText("%s owns %s", AccountText(owner).c_str(), path.c_str())
                      : FormatLogText("%s has no owner", path.c_str());
    } else if (!dacl) {
        found = FormatLogText("%s has no permissions set, so everyone can change it", path.c_str());
    } else {
        GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
        for (DWORD i = 0; i < dacl->AceCount && found.empty(); ++i) {
            ACE_HEADER* header = nullptr;
            if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) break;
            // Only grants count, and only those for the object itself.
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
            auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            PSID sid = &ace->SidStart;
            if (IsTrusted(sid)) continue;
            DWORD mask = ace->Mask;
            MapGenericMask(&mask, &mapping);
            for (const Right& right : RightsThatCount(place)) {
                if (!(mask & right.mask)) continue;
                found = FormatLogText("%s can %s %s", AccountText(sid).c_str(), right.what, path.c_str());
                break;
            }
        }
    }
    LocalFree(descriptor);
    return found;
}

}  // namespace

std::string WhoElseCanReplace(const std::string& program) {
    // A local drive's path: a share's own permissions and a mapped drive's server are out of sight.
    if (program.size() < 4 || program[1] != ':' || program[2] != '\\' || program.size() >= MAX_PATH)
        return FormatLogText("%s is not a path on a local drive", program.c_str());
    const std::string root = program.substr(0, 3);
    if (GetDriveTypeA(root.c_str()) != DRIVE_FIXED)
        return FormatLogText("%s is not on a fixed local drive", program.c_str());
    std::string found = CheckPlace(program, Place::kProgram);
    size_t end = program.find_last_of('\\');
    for (Place place = Place::kFolder; found.empty() && end != std::string::npos && end >= 2;
         place = Place::kFolderAbove) {
        // Each folder without its trailing separator, but for the root ("C:\").
        found = CheckPlace(program.substr(0, end == 2 ? 3 : end), place);
        if (end == 2) break;
        end = program.find_last_of('\\', end - 1);
    }
    return found;
}

}  // namespace installer

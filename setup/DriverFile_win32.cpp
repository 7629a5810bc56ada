#include "DriverFile.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "InstallerNames.h"
#include "LowerCase.h"

namespace installer {

namespace {

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

std::string FullPath(const std::string& path) {
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0 || needed > 32768) return path;
    std::vector<char> buffer(needed + 1, '\0');
    const DWORD written = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return written == 0 || written > buffer.size() ? path : std::string(buffer.data());
}

// The volume and file index of a folder, which name it whatever the path's spelling.
bool FolderIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE folder = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    const BOOL ok = GetFileInformationByHandle(folder, &info);
    CloseHandle(folder);
    return ok != FALSE;
}

HANDLE OpenForReading(const std::string& path) {
    // A driver loaded by a running ICA Client can still be read.
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool SameOpenFiles(HANDLE a, HANDLE b) {
    LARGE_INTEGER sizeA, sizeB;
    if (!GetFileSizeEx(a, &sizeA) || !GetFileSizeEx(b, &sizeB) || sizeA.QuadPart != sizeB.QuadPart) return false;
    std::vector<char> bufferA(65536), bufferB(65536);
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!::ReadFile(a, bufferA.data(), static_cast<DWORD>(bufferA.size()), &readA, nullptr) ||
            !::ReadFile(b, bufferB.data(), readA, &readB, nullptr) || readA != readB)
            return false;
        if (readA == 0) return true;
        if (memcmp(bufferA.data(), bufferB.data(), readA) != 0) return false;
    }
}

}  // namespace

bool SameFileContent(const std::string& a, const std::string& b) {
    HANDLE fileA = OpenForReading(a);
    if (fileA == INVALID_HANDLE_VALUE) return false;
    HANDLE fileB = OpenForReading(b);
    const bool same = fileB != INVALID_HANDLE_VALUE && SameOpenFiles(fileA, fileB);
    if (fileB != INVALID_HANDLE_VALUE) CloseHandle(fileB);
    CloseHandle(fileA);
    return same;
}

bool FolderExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSameFolder(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION infoA = {}, infoB = {};
    if (FolderIdentity(a, infoA) && FolderIdentity(b, infoB))
        return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
               infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
    return LowerCaseACP(WithSeparator(FullPath(a))) == LowerCaseACP(WithSeparator(FullPath(b)));
}

std::string MoveAside(const std::string& path) {
    // A bound on the number of names tried: earlier runs leave at most a few files that are still
    // in use, so running out means something else is wrong.
    for (int n = 1; n <= 1000; ++n) {
        const std::string aside = path + ".old-" + std::to_string(n);
        if (GetFileAttributesA(aside.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        if (MoveFileExA(path.c_str(), aside.c_str(), 0)) return aside;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return std::string();
    }
    return std::string();
}

bool MoveBack(const std::string& from, const std::string& to) { return MoveFileExA(from.c_str(), to.c_str(), 0) != FALSE; }

bool DeleteDriverFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileA(path.c_str()) != FALSE;
}

bool DeleteAtRestart(const std::string& path) {
    return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

void DeleteMovedAsideFiles(const std::string& folder) {
    const std::string base = WithSeparator(folder);
    const std::string prefix = LowerCaseACP(std::string(kDriverFileName) + ".old-");
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((base + kDriverFileName + ".old-*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        // Only our own names: the pattern may also match short (8.3) names of other files.
        const std::string name = data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (LowerCaseACP(name).compare(0, prefix.size(), prefix) != 0) continue;
        DeleteDriverFile(base + name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

}  // namespace installer

#include "DiskFile.h"

#include <windows.h>

#include <cstdio>
#include <io.h>
#include <sys/stat.h>

#include "LocalDateTime_win32.h"

namespace {

DWORD Attributes(const CFileName& name) { return GetFileAttributesA(name.GetFullName().c_str()); }

DWORD DesiredAccess(unsigned access) {
    DWORD desired = 0;
    if (access & kFileAccessRead) desired |= GENERIC_READ;
    if (access & kFileAccessWrite) desired |= GENERIC_WRITE;
    return desired;
}

DWORD ShareMode(unsigned sharing) {
    DWORD mode = 0;
    if (sharing & kFileShareRead) mode |= FILE_SHARE_READ;
    if (sharing & kFileShareWrite) mode |= FILE_SHARE_WRITE;
    if (sharing & kFileShareDelete) mode |= FILE_SHARE_DELETE;
    return mode;
}

// Opens the file with the access and sharing and closes it again; the error when it fails.
DWORD TryOpen(const CFileName& name, unsigned access, unsigned sharing) {
    HANDLE file = CreateFileA(name.GetFullName().c_str(), DesiredAccess(access), ShareMode(sharing),
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(file);
    return ERROR_SUCCESS;
}

enum class FileTimeKind { kCreation, kLastAccess, kLastWrite };

bool ReadFileTime(const CFileName& name, FileTimeKind kind, CDateTime& time) {
    HANDLE file = CreateFileA(name.GetFullName().c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME creation, access, write;
    const BOOL ok = GetFileTime(file, &creation, &access, &write);
    CloseHandle(file);
    if (!ok) return false;
    switch (kind) {
    case FileTimeKind::kCreation: return ToLocalDateTime(creation, time);
    case FileTimeKind::kLastAccess: return ToLocalDateTime(access, time);
    case FileTimeKind::kLastWrite: break;
    }
    return ToLocalDateTime(write, time);
}

struct ProgressContext {
    CopyProgressCallback callback;
    void* userValue;
};

// Runs on the thread that called CopyFileEx.
DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                   LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                   LPVOID data) {
    const ProgressContext* context = static_cast<const ProgressContext*>(data);
    const int percent = CopyProgressPercent(static_cast<uint64_t>(totalBytesTransferred.QuadPart),
                                            static_cast<uint64_t>(totalFileSize.QuadPart));
    if (context && context->callback) {
        bool cancel = false;
        context->callback(cancel, percent, context->userValue);
        if (cancel) return PROGRESS_CANCEL;
    }
    return PROGRESS_CONTINUE;
}

bool SetAttribute(const CFileName& name, DWORD attribute, bool set) {
    const DWORD attributes = Attributes(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    DWORD updated = set ? (attributes | attribute) : (attributes & ~attribute);
    if (updated == 0) updated = FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesA(name.GetFullName().c_str(), updated) != 0;
}

}  // namespace

bool CDiskFile::Exists() const {
    const DWORD attributes = Attributes(fileName);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return fileName.IsFolderName() ? isDirectory : !isDirectory;
}

bool CDiskFile::Delete() {
    const std::string path = fileName.GetFullName();
    if (!fileName.IsFolderName()) {
        _chmod(path.c_str(), _S_IREAD | _S_IWRITE);
        return remove(path.c_str()) == 0;
    }
    return RemoveDirectoryA(path.c_str()) != 0;
}

bool CDiskFile::Create() {
    HANDLE file = CreateFileA(fileName.GetFullName().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

CDiskFile::CopyResult CDiskFile::CopyContents(const CFileName& target, CopyProgressCallback progress,
                                              void* userValue) const {
    ProgressContext context{progress, userValue};
    if (CopyFileExA(fileName.GetFullName().c_str(), target.GetFullName().c_str(), CopyProgressRoutine,
                    &context, nullptr, 0))
        return CopyResult::kCopied;
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? CopyResult::kNotImplemented
                                                        : CopyResult::kFailed;
}

bool CDiskFile::CopyContentsSimple(const CFileName& target) const {
    return CopyFileA(fileName.GetFullName().c_str(), target.GetFullName().c_str(), TRUE) != 0;
}

bool CDiskFile::Rename(const CFileName& newName) {
    if (rename(fileName.GetFullName().c_str(), newName.GetFullName().c_str()) != 0) return false;
    fileName = newName;
    return true;
}

bool CDiskFile::MoveTo(const CFileName& target) {
    if (!MoveFileA(fileName.GetFullName().c_str(), target.GetFullName().c_str())) return false;
    fileName = target;
    return true;
}

bool CDiskFile::SetReadOnly(bool readOnly) {
    return SetAttribute(fileName, FILE_ATTRIBUTE_READONLY, readOnly);
}

bool CDiskFile::SetHidden(bool hidden) { return SetAttribute(fileName, FILE_ATTRIBUTE_HIDDEN, hidden); }

bool CDiskFile::IsReadOnly() const {
    const DWORD attributes = Attributes(fileName);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool CDiskFile::CanOpenWithoutSharingViolation(unsigned access, unsigned sharing) const {
    return TryOpen(fileName, access, sharing) != ERROR_SHARING_VIOLATION;
}

bool CDiskFile::CanOpenWithoutAccessDenied(unsigned access, unsigned sharing) const {
    return TryOpen(fileName, access, sharing) != ERROR_ACCESS_DENIED;
}

bool CDiskFile::GetCreationTime(CDateTime& time) const {
    return ReadFileTime(fileName, FileTimeKind::kCreation, time);
}

bool CDiskFile::GetLastAccessTime(CDateTime& time) const {
    return ReadFileTime(fileName, FileTimeKind::kLastAccess, time);
}

bool CDiskFile::GetLastWriteTime(CDateTime& time) const {
    return ReadFileTime(fileName, FileTimeKind::kLastWrite, time);
}

bool CDiskFile::GetSize(uint32_t& size) const {
    uint64_t size64 = 0;
    if (!GetSize64(size64) || size64 > UINT32_MAX) return false;
    size = static_cast<uint32_t>(size64);
    return true;
}

bool CDiskFile::SetSize(uint64_t size) {
    HANDLE file = CreateFileA(fileName.GetFullName().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(size);
    const bool ok = SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

bool CDiskFile::GetSize64(uint64_t& size) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(fileName.GetFullName().c_str(), GetFileExInfoStandard, &data))
        return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

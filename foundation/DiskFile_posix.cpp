#include "DiskFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LocalDateTime_posix.h"

namespace {

bool Stat(const CFileName& name, struct stat& info) {
    return stat(name.GetFullName().c_str(), &info) == 0;
}

int OpenFlags(unsigned access) {
    if ((access & kFileAccessRead) && (access & kFileAccessWrite)) return O_RDWR;
    if (access & kFileAccessWrite) return O_WRONLY;
    return O_RDONLY;
}

// Opens and closes the file; the errno when it fails, 0 when it opened.
int TryOpen(const CFileName& name, unsigned access) {
    const int fd = open(name.GetFullName().c_str(), OpenFlags(access) | O_CLOEXEC);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

bool SetWritable(const CFileName& name, bool writable) {
    struct stat info;
    if (!Stat(name, info)) return false;
    const mode_t mode = writable ? (info.st_mode | S_IWUSR) : (info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
    return chmod(name.GetFullName().c_str(), mode & 07777) == 0;
}

// Copies the bytes, calling the progress callback after each block; the target must not exist.
bool CopyBytes(const std::string& source, const std::string& target, CopyProgressCallback progress,
               void* userValue, bool& cancelled) {
    cancelled = false;
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info;
    if (fstat(in, &info) != 0) {
        close(in);
        return false;
    }
    const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777);
    if (out < 0) {
        close(in);
        return false;
    }
    const uint64_t total = static_cast<uint64_t>(info.st_size);
    uint64_t copied = 0;
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = write(out, buffer + written, static_cast<size_t>(got - written));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                ok = false;
                break;
            }
            written += put;
        }
        if (!ok) break;
        copied += static_cast<uint64_t>(got);
        if (progress) {
            bool cancel = false;
            progress(cancel, CopyProgressPercent(copied, total), userValue);
            if (cancel) {
                cancelled = true;
                ok = false;
                break;
            }
        }
    }
    close(in);
    if (close(out) != 0) ok = false;
    // Like the platform copy on Windows, a failed or cancelled copy leaves no partial target.
    if (!ok) unlink(target.c_str());
    return ok;
}

}  // namespace

bool CDiskFile::Exists() const {
    struct stat info;
    if (!Stat(fileName, info)) return false;
    const bool isDirectory = S_ISDIR(info.st_mode);
    return fileName.IsFolderName() ? isDirectory : !isDirectory;
}

bool CDiskFile::Delete() {
    const std::string path = fileName.GetFullName();
    if (!fileName.IsFolderName()) {
        chmod(path.c_str(), S_IRUSR | S_IWUSR);
        return remove(path.c_str()) == 0;
    }
    return rmdir(path.c_str()) == 0;
}

bool CDiskFile::Create() {
    const int fd = open(fileName.GetFullName().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return close(fd) == 0;
}

CDiskFile::CopyResult CDiskFile::CopyContents(const CFileName& target, CopyProgressCallback progress,
                                              void* userValue) const {
    bool cancelled = false;
    return CopyBytes(fileName.GetFullName(), target.GetFullName(), progress, userValue, cancelled)
               ? CopyResult::kCopied
               : CopyResult::kFailed;
}

bool CDiskFile::CopyContentsSimple(const CFileName& target) const {
    bool cancelled = false;
    return CopyBytes(fileName.GetFullName(), target.GetFullName(), nullptr, nullptr, cancelled);
}

bool CDiskFile::Rename(const CFileName& newName) {
    if (rename(fileName.GetFullName().c_str(), newName.GetFullName().c_str()) != 0) return false;
    fileName = newName;
    return true;
}

bool CDiskFile::MoveTo(const CFileName& target) {
    // MoveFile refuses an existing target; link + unlink gives the same answer atomically on one
    // file system.
    if (link(fileName.GetFullName().c_str(), target.GetFullName().c_str()) != 0) return false;
    unlink(fileName.GetFullName().c_str());
    fileName = target;
    return true;
}

bool CDiskFile::SetReadOnly(bool readOnly) { return SetWritable(fileName, !readOnly); }

bool CDiskFile::SetHidden(bool hidden) {
    // POSIX files are hidden by a leading dot in their name, not by an attribute: nothing to set
    // for an unhidden file, and hiding cannot be done without renaming.
    return !hidden && Exists();
}

bool CDiskFile::IsReadOnly() const {
    struct stat info;
    return Stat(fileName, info) && (info.st_mode & S_IWUSR) == 0;
}

bool CDiskFile::CanOpenWithoutSharingViolation(unsigned access, unsigned sharing) const {
    // POSIX has no sharing modes: no opener can forbid another.
    return true;
}

bool CDiskFile::CanOpenWithoutAccessDenied(unsigned access, unsigned sharing) const {
    const int error = TryOpen(fileName, access);
    return error != EACCES && error != EPERM;
}

bool CDiskFile::GetCreationTime(CDateTime& time) const {
    // POSIX keeps no creation time; the status change time is the nearest.
    struct stat info;
    return Stat(fileName, info) && ToLocalDateTime(info.st_ctim, time);
}

bool CDiskFile::GetLastAccessTime(CDateTime& time) const {
    struct stat info;
    return Stat(fileName, info) && ToLocalDateTime(info.st_atim, time);
}

bool CDiskFile::GetLastWriteTime(CDateTime& time) const {
    struct stat info;
    return Stat(fileName, info) && ToLocalDateTime(info.st_mtim, time);
}

bool CDiskFile::GetSize(uint32_t& size) const {
    uint64_t size64 = 0;
    if (!GetSize64(size64) || size64 > UINT32_MAX) return false;
    size = static_cast<uint32_t>(size64);
    return true;
}

bool CDiskFile::SetSize(uint64_t size) {
    if (size > static_cast<uint64_t>(INT64_MAX)) return false;
    return truncate(fileName.GetFullName().c_str(), static_cast<off_t>(size)) == 0;
}

bool CDiskFile::GetSize64(uint64_t& size) const {
    struct stat info;
    if (!Stat(fileName, info) || S_ISDIR(info.st_mode)) return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

#include "SystemFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace linuxsetup {

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool ResolveExisting(const std::string& path, std::string& resolved, std::string& why) {
    if (path.empty() || path.size() >= PATH_MAX) {
        why = "the path is empty or too long";
        return false;
    }
    char buffer[PATH_MAX];
    if (!realpath(path.c_str(), buffer)) {
        why = ErrorText(errno);
        return false;
    }
    resolved = buffer;
    return true;
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, FileOwner& owner,
                     std::string& why) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        why = ErrorText(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "it is not a regular file";
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = ErrorText(errno);
        return false;
    }
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) why = "it is not a regular file";
    if (ok && static_cast<unsigned long long>(info.st_size) > maxBytes) {
        why = "it is larger than " + std::to_string(maxBytes) + " bytes";
        ok = false;
    }
    std::string content;
    if (ok) {
        // One byte more than allowed tells a file that grew since fstat.
        std::vector<char> buffer(maxBytes + 1 > 65536 ? 65536 : maxBytes + 1);
        for (;;) {
            const ssize_t n = read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                why = ErrorText(errno);
                ok = false;
                break;
            }
            if (n == 0) break;
            content.append(buffer.data(), static_cast<size_t>(n));
            if (content.size() > maxBytes) {
                why = "it is larger than " + std::to_string(maxBytes) + " bytes";
                ok = false;
                break;
            }
        }
    }
    close(fd);
    if (!ok) return false;
    bytes.swap(content);
    owner.exists = true;
    owner.mode = info.st_mode & 07777;
    owner.uid = info.st_uid;
    owner.gid = info.st_gid;
    return true;
}

bool ReplaceFile(const std::string& path, const std::string& bytes, const FileOwner& owner, std::string& why) {
    std::string pattern = FolderOf(path) + "/." + BaseOf(path) + ".tovusb-XXXXXX";
    if (pattern.size() >= PATH_MAX) {
        why = "the path is too long";
        return false;
    }
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        why = "cannot create a temporary file in " + FolderOf(path) + ": " + ErrorText(errno);
        return false;
    }
    const std::string temporary = name.data();
    bool ok = true;
    const char* step = "";
    if (!WriteAll(fd, bytes)) { ok = false; step = "write"; }
    if (ok && fchown(fd, owner.uid, owner.gid) != 0 && (geteuid() == 0 || owner.uid != geteuid())) {
        ok = false;
        step = "give the owner to";
    }
    if (ok && fchmod(fd, owner.mode) != 0) { ok = false; step = "set the mode of"; }
    if (ok && fsync(fd) != 0) { ok = false; step = "flush"; }
    const int error = errno;
    if (close(fd) != 0 && ok) { ok = false; step = "close"; }
    if (ok && rename(temporary.c_str(), path.c_str()) != 0) {
        why = "cannot rename " + temporary + " to " + path + ": " + ErrorText(errno);
        unlink(temporary.c_str());
        return false;
    }
    if (!ok) {
        why = std::string("cannot ") + step + " " + temporary + ": " + ErrorText(error);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

FileOwner NewFileOwner(mode_t mode) {
    FileOwner owner;
    owner.mode = mode;
    owner.uid = geteuid();
    owner.gid = getegid();
    return owner;
}

bool RemoveFile(const std::string& path, std::string& why) {
    if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    why = ErrorText(errno);
    return false;
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool MakeFolders(const std::string& path, std::string& why) {
    if (path.empty() || path.size() >= PATH_MAX) {
        why = "the path is empty or too long";
        return false;
    }
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            why = "cannot create " + part + ": " + ErrorText(errno);
            return false;
        }
    }
    return true;
}

std::string ProgramFolderPath(const char* argv0) {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) {
        buffer[n] = '\0';
        return FolderOf(buffer);
    }
    const std::string started = argv0 ? argv0 : "";
    if (started.find('/') != std::string::npos && started.size() < PATH_MAX && realpath(started.c_str(), buffer))
        return FolderOf(buffer);
    return ".";
}

}  // namespace linuxsetup

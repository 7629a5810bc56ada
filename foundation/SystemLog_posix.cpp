#include "SystemLog.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "TraceLog.h"

const char* const kSystemLogSocket = "/dev/log";

namespace {

constexpr int kUserError = 8 | 3;  // LOG_USER | LOG_ERR
constexpr size_t kMaxMessage = 2048;  // syslog daemons take at least this much in one datagram

std::string OneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    return line;
}

}  // namespace

std::string SystemLogLine(const std::string& caption, const std::string& text, long processId, std::time_t when) {
    std::tm local = {};
    localtime_r(&when, &local);
    char stamp[32];
    if (std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local) == 0) stamp[0] = '\0';
    char head[96];
    std::snprintf(head, sizeof head, "<%d>%s TovUSB[%ld]: ", kUserError, stamp, processId);
    std::string line = head + OneLine(caption) + ": " + OneLine(text);
    if (line.size() > kMaxMessage) line.resize(kMaxMessage);
    return line;
}

bool SendSystemLogLine(const std::string& line, const std::string& socketPath) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const ssize_t sent = sendto(fd, line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
    close(fd);
    return sent == static_cast<ssize_t>(line.size());
}

int SystemLogMessageBox(const char* text, const char* caption, unsigned) {
    const std::string captionText = caption ? caption : "";
    const std::string bodyText = text ? text : "";
    SendSystemLogLine(SystemLogLine(captionText, bodyText, static_cast<long>(getpid()), std::time(nullptr)),
                      kSystemLogSocket);
    WriteLogLine(captionText + ": " + bodyText, kClientLogPath, "USBHIDManager", true);
    return 1;  // IDOK
}

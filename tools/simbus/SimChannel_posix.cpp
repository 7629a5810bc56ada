// Simulated interfaces natively: each handle is one end of a SOCK_SEQPACKET socket pair whose
// other end the bus holds, so message boundaries are kept as with HID reports.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "SimBus.h"

namespace simchannel {

namespace {
constexpr size_t kMaxMessage = 0x10000;
}  // namespace

std::string ChannelName(int id) {
    char name[32];
    std::snprintf(name, sizeof(name), "seqpacket-%d", id);
    return name;
}

bool Connect(const simbus::Interface&, uint32_t, uint32_t, uint32_t, hidseam::Handle& client, intptr_t& server) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    client = pair[0];
    server = pair[1];
    return true;
}

bool PeerAlive(intptr_t server) {
    pollfd check = {static_cast<int>(server), 0, 0};
    if (poll(&check, 1, 0) < 0) return false;
    return (check.revents & (POLLHUP | POLLNVAL)) == 0;
}

bool Send(intptr_t server, const uint8_t* data, size_t length) {
    return send(static_cast<int>(server), data, length, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(length);
}

bool Receive(intptr_t server, simbus::Bytes& message) {
    message.assign(kMaxMessage, 0);
    const ssize_t received = recv(static_cast<int>(server), message.data(), kMaxMessage, MSG_DONTWAIT);
    if (received <= 0) return false;
    message.resize(static_cast<size_t>(received));
    return true;
}

// A socket's end is written with send, so that a peer that has gone raises no SIGPIPE.
bool WriteClient(hidseam::Handle client, const char* data, size_t length) {
    ssize_t written = send(static_cast<int>(client), data, length, MSG_NOSIGNAL);
    if (written < 0 && errno == ENOTSOCK) written = write(static_cast<int>(client), data, length);
    return written >= 0 && static_cast<size_t>(written) == length;
}

void Disconnect(intptr_t server) {
    shutdown(static_cast<int>(server), SHUT_RDWR);
    close(static_cast<int>(server));
}

hidseam::Handle OpenSystemPath(const std::string& path, uint32_t access, uint32_t, uint32_t) {
    int mode = O_RDONLY;
    if ((access & hidseam::kGenericRead) && (access & hidseam::kGenericWrite)) {
        mode = O_RDWR;
    } else if (access & hidseam::kGenericWrite) {
        mode = O_WRONLY;
    }
    return open(path.c_str(), mode | O_CLOEXEC);
}

void CloseSystemHandle(hidseam::Handle handle) {
    if (handle >= 0) close(static_cast<int>(handle));
}

namespace {
// Guarded by limitMutex: the limit in force before BreakWaits lowered it.
std::mutex limitMutex;
bool limitLowered = false;
rlimit savedLimit;
}  // namespace

bool BreakWaits() {
    std::lock_guard<std::mutex> lock(limitMutex);
    if (limitLowered) return true;
    if (getrlimit(RLIMIT_NOFILE, &savedLimit) != 0) return false;
    rlimit lowered = savedLimit;
    lowered.rlim_cur = 1;
    if (setrlimit(RLIMIT_NOFILE, &lowered) != 0) return false;
    limitLowered = true;
    return true;
}

void RestoreWaits() {
    std::lock_guard<std::mutex> lock(limitMutex);
    if (!limitLowered) return;
    setrlimit(RLIMIT_NOFILE, &savedLimit);
    limitLowered = false;
}

void SetErrorNotFound() { errno = ENOENT; }
void SetErrorAccessDenied() { errno = EACCES; }
void SetErrorCancelled() { errno = ECANCELED; }

}  // namespace simchannel

namespace hidseam {

// A simulated interface keeps message boundaries (SOCK_SEQPACKET): one receive is one report, as
// the bus sent it (the bus already sends the report-id byte first).
long ReadInputReport(Handle handle, char* report, size_t length) {
    simbus::WaitWhileReadsHeld(handle);
    return static_cast<long>(recv(static_cast<int>(handle), report, length, MSG_DONTWAIT));
}

}  // namespace hidseam

// Simulated interfaces on Windows: each handle is the client end of a message-mode named pipe
// whose server end the bus holds in the same process, so CreateFile, overlapped ReadFile, CancelIo
// and WriteFile behave as against a device.
#include <windows.h>

#include <cstdio>

#include "OverlappedWrite.h"
#include "SimBus.h"

namespace simchannel {

namespace {

constexpr DWORD kPipeBuffer = 1 << 20;
constexpr DWORD kMaxMessage = 0x10000;

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

std::string ChannelName(int id) {
    char name[96];
    std::snprintf(name, sizeof(name), "\\\\.\\pipe\\tovsim-%lu-%d", GetCurrentProcessId(), id);
    return name;
}

bool Connect(const simbus::Interface& iface, uint32_t access, uint32_t share, uint32_t flags,
             hidseam::Handle& client, intptr_t& server) {
    HANDLE serverEnd = CreateNamedPipeA(iface.channelName.c_str(), PIPE_ACCESS_DUPLEX,
                                        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT |
                                            PIPE_REJECT_REMOTE_CLIENTS,
                                        PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, 0, nullptr);
    if (serverEnd == INVALID_HANDLE_VALUE) return false;
    // The client may switch its end to message reads, which needs the attribute right.
    HANDLE clientEnd = CreateFileA(iface.channelName.c_str(), access | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                   share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (clientEnd == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandle(serverEnd);
        SetLastError(error);
        return false;
    }
    if (!ConnectNamedPipe(serverEnd, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
        const DWORD error = GetLastError();
        CloseHandle(clientEnd);
        CloseHandle(serverEnd);
        SetLastError(error);
        return false;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(clientEnd, &mode, nullptr, nullptr);
    client = reinterpret_cast<hidseam::Handle>(clientEnd);
    server = reinterpret_cast<intptr_t>(serverEnd);
    return true;
}

bool PeerAlive(intptr_t server) {
    DWORD available = 0;
    return PeekNamedPipe(AsHandle(server), nullptr, 0, nullptr, &available, nullptr) != FALSE;
}

bool Send(intptr_t server, const uint8_t* data, size_t length) {
    DWORD written = 0;
    return WriteFile(AsHandle(server), data, static_cast<DWORD>(length), &written, nullptr) && written == length;
}

bool Receive(intptr_t server, simbus::Bytes& message) {
    DWORD available = 0;
    if (!PeekNamedPipe(AsHandle(server), nullptr, 0, nullptr, &available, nullptr) || available == 0) return false;
    message.assign(kMaxMessage, 0);
    DWORD read = 0;
    if (!ReadFile(AsHandle(server), message.data(), kMaxMessage, &read, nullptr)) {
        // A message longer than the largest output report is cut; the rest is dropped.
        if (GetLastError() != ERROR_MORE_DATA) return false;
        simbus::Bytes rest(kMaxMessage);
        DWORD more = 0;
        while (!ReadFile(AsHandle(server), rest.data(), kMaxMessage, &more, nullptr) &&
               GetLastError() == ERROR_MORE_DATA) {
        }
    }
    message.resize(read);
    return true;
}

// The driver opens its write handle for overlapped I/O; a pipe takes a message into its buffer at
// once, so the write completes without a wait of its own.
bool WriteClient(hidseam::Handle client, const char* data, size_t length) {
    return WriteOverlapped(reinterpret_cast<HANDLE>(client), data, length, nullptr, INFINITE);
}

void Disconnect(intptr_t server) {
    DisconnectNamedPipe(AsHandle(server));
    CloseHandle(AsHandle(server));
}

hidseam::Handle OpenSystemPath(const std::string& path, uint32_t access, uint32_t share, uint32_t flags) {
    return reinterpret_cast<hidseam::Handle>(
        CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
}

void CloseSystemHandle(hidseam::Handle handle) {
    HANDLE value = reinterpret_cast<HANDLE>(handle);
    if (value && value != INVALID_HANDLE_VALUE) CloseHandle(value);
}

void SetErrorNotFound() { SetLastError(ERROR_FILE_NOT_FOUND); }
void SetErrorAccessDenied() { SetLastError(ERROR_ACCESS_DENIED); }
void SetErrorCancelled() { SetLastError(ERROR_OPERATION_ABORTED); }

// A reader waits on an event of its own, which the bus cannot make fail.
bool BreakWaits() { return false; }
void RestoreWaits() {}

}  // namespace simchannel

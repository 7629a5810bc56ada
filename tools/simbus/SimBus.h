// The state of the simulated HID bus, shared by its C interface and its HID seam.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "HIDSeam.h"

namespace simbus {

using Bytes = std::vector<uint8_t>;

struct Interface {
    int id = 0;
    int deviceId = 0;  // the id of the main interface of its physical device
    std::string path;           // lower case, as enumeration gives it
    std::string announcedName;  // upper-case form, as notifications carry it
    std::string channelName;    // Windows: the pipe that serves it
    uint16_t vendorID = 0, productID = 0, versionNumber = 0, usagePage = 0, usage = 0;
    int inputLength = 0, outputLength = 0;
    int usbClass = -1, usbSubClass = -1, usbProtocol = -1;  // its USB interface; -1: not shown
    unsigned failNext = 0;  // TOVSIM_FAIL_* kinds refused once each
    bool holdWrites = false;  // writes of output reports wait until this is off again
    bool holdPastCancel = false;  // while held, writes ignore cancels and time-outs (as hidraw's do)
    bool holdReads = false;  // natively: a read of a report waits inside the seam until this is off
    std::vector<Bytes> delivered;
    std::vector<Bytes> outputs;
};

enum OpeningKind : unsigned { kQuery = 1, kRead = 2, kWrite = 4 };

// One handle the seam handed out for a simulated interface, with the bus's end of it.
struct Opening {
    int interfaceId;
    unsigned kind;
    hidseam::Handle client;  // what OpenPath returned
    intptr_t server;         // the bus's end
    bool writeCancelled = false;  // CancelOutputReport was called for client: its writes fail
};

// The preparsed data the seam hands out: a copy of the interface's capabilities.
struct PreparsedData {
    uint32_t magic;
    hidseam::Caps caps;
    bool failCaps;
};
constexpr uint32_t kPreparsedMagic = 0x53494D50;  // "SIMP"

// Threads: every member is guarded by mutex. The bus never holds it while it announces arrivals
// and removals, because the receiving window procedure probes through the seam, which locks it.
struct Bus {
    std::mutex mutex;
    std::map<int, Interface> interfaces;  // by id
    std::vector<Opening> openings;
    unsigned failNextAny = 0;  // kinds refused on whichever interface is asked next
    int nextId = 1;
    // Every path handed to the seam's open, simulated or not, in call order (the first
    // kMaxLoggedOpens of them; openCallCount goes on counting).
    std::vector<std::string> openLog;
    long openCallCount = 0;
    // The thread TovSim_MarkThread marked, and its calls of the seam's open and queries since.
    std::thread::id markedThread;
    long markedThreadCalls = 0;
    // Query opens waiting in the seam while holding is on (TovSim_HoldQueryOpens).
    bool holdQueryOpens = false;
    int heldQueryOpens = 0;
    std::condition_variable queryOpensChanged;
    // Writes waiting in the seam while their interface holds writes. writesChanged is notified
    // whenever a write starts or stops waiting, holding is turned off, or openings go away.
    int heldWrites = 0;
    int heldReads = 0;  // reads waiting in the seam; writesChanged is notified for them too
    std::condition_variable writesChanged;
    // Held writes that ended by a cancel or their time-out, and the report bytes the last of them
    // still found in the writer's buffer as it ended.
    int cancelledWrites = 0;
    Bytes lastCancelledWrite;
};

constexpr size_t kMaxLoggedOpens = 65536;
// Notes one call of the seam's open. Needs the lock.
void LogOpen(Bus& bus, const std::string& path);
// Notes one open or query call (OpenPath, GetAttributes, GetPreparsedData) of the calling thread.
// Needs the lock.
void NoteCallingThread(Bus& bus);
// Waits, with the lock released meanwhile, while query opens are held (at most 20 s).
void HoldQueryOpen(Bus& bus, std::unique_lock<std::mutex>& lock);

Bus& TheBus();

// Interface by path, compared without regard to ASCII case; null when not plugged. Needs the lock.
Interface* FindByPath(Bus& bus, const std::string& path);
// Takes a TOVSIM_FAIL_* kind if it is pending for the interface (or for any). Needs the lock.
bool TakeFailure(Bus& bus, Interface* iface, unsigned kind);
// Drains an opening's output reports into its interface and closes the bus's end. Needs the lock.
void DropOpening(Bus& bus, size_t index);
// Drops the openings whose client end was closed. Needs the lock.
void Reap(Bus& bus);
// Natively, before a read of a report on client: waits while its interface holds reads (until
// released, unplugged or the bus reset). Takes the lock.
void WaitWhileReadsHeld(hidseam::Handle client);

// Arrival and removal announcements (without the lock).
void Announce(uint32_t event, uint32_t deviceType, const std::string& name);

}  // namespace simbus

// The platform's ends of a simulated interface: a named pipe in message mode on Windows, a
// SOCK_SEQPACKET socket pair natively.
namespace simchannel {

// Connects a new client handle to the interface; false with the last error set when it cannot.
bool Connect(const simbus::Interface& iface, uint32_t access, uint32_t share, uint32_t flags,
             hidseam::Handle& client, intptr_t& server);
// True while the client still holds its end.
bool PeerAlive(intptr_t server);
bool Send(intptr_t server, const uint8_t* data, size_t length);
// One message the client wrote, without waiting; false when there is none.
bool Receive(intptr_t server, simbus::Bytes& message);
// Breaks the connection (the client's reads fail from now on) and closes the bus's end.
void Disconnect(intptr_t server);
// Writes one message on a client handle, as the driver's write does: the channel's own write for a
// simulated interface, the system's for any other handle. False with the last error set.
bool WriteClient(hidseam::Handle client, const char* data, size_t length);
// The system's own open and close, for paths the bus does not know.
hidseam::Handle OpenSystemPath(const std::string& path, uint32_t access, uint32_t share, uint32_t flags);
void CloseSystemHandle(hidseam::Handle handle);
void SetErrorNotFound();
void SetErrorAccessDenied();
void SetErrorCancelled();  // ERROR_OPERATION_ABORTED, or ECANCELED natively
// The channel name that serves interface id.
std::string ChannelName(int id);
// Makes the next waits of the process's readers fail as a failing system wait does, until
// RestoreWaits: natively the soft limit on open descriptors is lowered to one, below the two a
// reader's poll() waits on, so poll fails with EINVAL (and no file can be opened meanwhile).
// False where the platform offers no such failure (Windows). Thread-safe.
bool BreakWaits();
void RestoreWaits();

}  // namespace simchannel

// The record the user's ICA sessions on this PC share (a named section in the logon session's
// Local\ namespace): per device interface path, which session owns its button presses; per session,
// its process (id and creation time, since ids are reused), whether it knows its window, and which
// devices it has connected. It holds nothing that came from a server.
//
// Any process of the user can create the name first, so every field read from it is untrusted: the
// header (magic, version, size, counts) is checked before anything else is used, every index read
// from it is bounded, and a path is compared only when it ends inside its slot.
//
// Locking: every change is made under the record's own lock word, taken with one interlocked
// compare-exchange and never waited for: a caller that does not get it answers "busy" and tries
// again later (the engine thread at a later poll). A lock left by a process that has ended is taken
// over. Within this process, the callers (the engine thread, the devices' reader threads) are
// serialised by the same word; the object itself holds no state of its own beyond the mapping,
// which is set once by Open on the engine thread before any reader asks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SessionIdentity {
    uint32_t processId = 0;
    uint64_t creationTime = 0;  // FILETIME as one number
};

// One device of the record, for the device check.
struct SharedDeviceView {
    std::string path;
    uint32_t ownerProcessId = 0;  // 0: no session owns its presses now
    bool ownerAlive = false;
    int sessionsConnected = 0;    // live sessions that have it connected
};

class CSharedSessionRecord {
public:
    static constexpr int kSessions = 16;
    static constexpr int kDevices = 16;
    static constexpr int kPathChars = 256;  // including the terminating NUL

    enum class Outcome { Done, Busy, Full };
    enum class Decision { Send, Hold, Busy };

    CSharedSessionRecord() = default;
    ~CSharedSessionRecord();
    CSharedSessionRecord(const CSharedSessionRecord&) = delete;
    CSharedSessionRecord& operator=(const CSharedSessionRecord&) = delete;

    // Opens the section, creating it when nobody has; true when its header checks out. False with
    // a reason in whyNot when it does not (the record is then not used); false with an empty
    // whyNot when its creator has not finished writing the header yet (ask again later).
    // existingOnly opens a section only when a session has created it (the device check).
    bool Open(std::string& whyNot, bool existingOnly = false);
    bool IsOpen() const { return record != nullptr; }

    // Takes (or finds) this session's slot and writes its window flag and connected paths, in one
    // step. Full: no free slot (the session then behaves as if alone) or no free device slot.
    Outcome Publish(const SessionIdentity& self, bool hasWindow, const std::vector<std::string>& paths);
    // Makes this session (which has a window) the owner of every device it has connected
    // (published). Done also when there was nothing to claim.
    Outcome ClaimConnected(const SessionIdentity& self);
    // Lock-free look: whether this session owns every device it has connected.
    bool OwnsAllConnected(const SessionIdentity& self) const;
    // Whether this session sends a press of the device at path. A session with a window sends it
    // when it owns the device's presses, or when no live session with a window owns them (it then
    // takes them). A session without one sends it while no live session with a window has the
    // device connected.
    Decision DecidePress(const SessionIdentity& self, const std::string& path);
    // Leaves the record (the session ends): never waits, also without the lock.
    void Leave(const SessionIdentity& self);

    // For the device check: every device in the record. False when the lock was busy.
    bool Describe(std::vector<SharedDeviceView>& devices);

    static bool IsAlive(const SessionIdentity& session);
    static SessionIdentity Self();

    struct Record;

private:
    bool TryLock();
    void Unlock();
    int FindSession(const SessionIdentity& self) const;  // slot index or -1
    int FindDevice(const std::string& path) const;
    int AllocateDevice(const std::string& path);         // under the lock; -1 when full
    void SweepEndedSessions();                           // under the lock
    bool OwnerIsLive(int device) const;                  // under the lock

    void* section = nullptr;  // the mapping's handle
    Record* record = nullptr;  // the view; null until Open succeeded
};

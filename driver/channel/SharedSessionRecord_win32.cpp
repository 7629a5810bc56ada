#include "SharedSessionRecord_win32.h"

#include <windows.h>

#include <cstring>

#include "FormatString.h"

namespace {

constexpr const char* kSectionName = "Local\\TovUSB.ButtonSessions";
constexpr uint32_t kMagic = 0x53425654u;  // "TVBS"
constexpr uint32_t kVersion = 1;

uint64_t FileTimeNumber(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// The layout in the section. Plain 32- and 64-bit fields, the same for 32- and 64-bit drivers
// (both can run in one logon session).
struct CSharedSessionRecord::Record {
    struct Header {
        volatile LONG magic;  // written last by the creator
        uint32_t version;
        uint32_t size;
        uint32_t sessions;
        uint32_t devices;
        volatile LONG lock;   // the process id of the holder, 0 when free
    } header;
    struct Session {
        volatile LONG processId;  // 0: free
        LONG hasWindow;
        uint64_t creationTime;
        LONG connected;           // bit i: device slot i is connected in this session
        LONG unused;
    } sessions[kSessions];
    struct Device {
        LONG used;
        LONG owner;               // session slot + 1; 0: nobody
        uint32_t ownerProcessId;  // the owner slot's process when it took the presses
        uint32_t unused;
        uint64_t ownerCreationTime;
        char path[kPathChars];
    } devices[kDevices];
};

static_assert(CSharedSessionRecord::kDevices <= 32, "a session's connected devices are one 32-bit mask");
// The 32-bit and the 64-bit driver of one logon session see the same layout.
static_assert(sizeof(CSharedSessionRecord::Record) == 24 + 16 * 24 + 16 * 280, "the shared record's layout");

CSharedSessionRecord::~CSharedSessionRecord() {
    if (record) UnmapViewOfFile(record);
    if (section) CloseHandle(section);
}

bool CSharedSessionRecord::Open(std::string& whyNot, bool existingOnly) {
    whyNot.clear();
    if (record) return true;
    if (!section) {
        if (existingOnly) {
            section = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kSectionName);
            if (!section) {
                whyNot = "no ICA session of this user has created it";
                return false;
            }
        } else {
            section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Record),
                                         kSectionName);
            if (!section) {
                whyNot = FormatString("CreateFileMapping failed (error %lu)", GetLastError());
                return false;
            }
        }
    }
    void* view = MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    if (!view) {
        whyNot = FormatString("MapViewOfFile failed (error %lu)", GetLastError());
        CloseHandle(section);
        section = nullptr;
        return false;
    }
    // A section created by someone else may be smaller than the record: nothing beyond the view is
    // ever touched.
    MEMORY_BASIC_INFORMATION region = {};
    if (VirtualQuery(view, &region, sizeof region) == 0 || region.RegionSize < sizeof(Record)) {
        whyNot = FormatString("its section holds %lu bytes, fewer than the %lu of the record",
                              static_cast<unsigned long>(region.RegionSize), static_cast<unsigned long>(sizeof(Record)));
        UnmapViewOfFile(view);
        return false;
    }
    Record* const candidate = static_cast<Record*>(view);
    // The creator (whoever got a fresh, zeroed section) writes the header; the magic goes last.
    if (InterlockedCompareExchange(&candidate->header.lock, static_cast<LONG>(GetCurrentProcessId()), 0) == 0) {
        if (candidate->header.magic == 0 && candidate->header.size == 0) {
            candidate->header.version = kVersion;
            candidate->header.size = sizeof(Record);
            candidate->header.sessions = kSessions;
            candidate->header.devices = kDevices;
            InterlockedExchange(&candidate->header.magic, static_cast<LONG>(kMagic));
        }
        InterlockedExchange(&candidate->header.lock, 0);
    }
    const uint32_t magic = static_cast<uint32_t>(InterlockedCompareExchange(&candidate->header.magic, 0, 0));
    if (magic == 0) {
        UnmapViewOfFile(view);  // its creator is still writing it, or holds the lock: later
        return false;
    }
    if (magic != kMagic || candidate->header.version != kVersion || candidate->header.size != sizeof(Record) ||
        candidate->header.sessions != kSessions || candidate->header.devices != kDevices) {
        whyNot = FormatString("its header does not check out (magic 0x%08x, version %u, size %u, %u sessions, %u devices)",
                              magic, candidate->header.version, candidate->header.size, candidate->header.sessions,
                              candidate->header.devices);
        UnmapViewOfFile(view);
        return false;
    }
    record = candidate;
    return true;
}

SessionIdentity CSharedSessionRecord::Self() {
    static const SessionIdentity identity = [] {
    SessionIdentity self;
    self.processId = GetCurrentProcessId();
    FILETIME creation, exit, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) {
        self.creationTime = FileTimeNumber(creation);
    }
    return self;
    }();
    return identity;
}

bool CSharedSessionRecord::IsAlive(const SessionIdentity& session) {
    if (session.processId == 0) return false;
    if (session.processId == GetCurrentProcessId()) return session.creationTime == Self().creationTime;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, session.processId);
    if (!process) {
        // A process that exists but may not be asked is counted as alive: only an ended one is
        // known not to count.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    bool alive = false;
    DWORD code = 0;
    FILETIME creation, exit, kernel, user;
    if (GetExitCodeProcess(process, &code) && code == STILL_ACTIVE &&
        GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
        alive = FileTimeNumber(creation) == session.creationTime;
    }
    CloseHandle(process);
    return alive;
}

bool CSharedSessionRecord::TryLock() {
    const LONG self = static_cast<LONG>(GetCurrentProcessId());
    const LONG holder = InterlockedCompareExchange(&record->header.lock, self, 0);
    if (holder == 0) return true;
    if (holder == self) return false;  // another thread of this session holds it
    // A holder that has ended left the lock behind: it is taken over.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(holder));
    bool ended = false;
    if (!process) {
        ended = GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    } else {
        DWORD code = 0;
        ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
        CloseHandle(process);
    }
    return ended && InterlockedCompareExchange(&record->header.lock, self, holder) == holder;
}

void CSharedSessionRecord::Unlock() { InterlockedExchange(&record->header.lock, 0); }

int CSharedSessionRecord::FindSession(const SessionIdentity& self) const {
    for (int i = 0; i < kSessions; ++i) {
        const Record::Session& s = record->sessions[i];
        if (static_cast<uint32_t>(s.processId) == self.processId && s.creationTime == self.creationTime) return i;
    }
    return -1;
}

int CSharedSessionRecord::FindDevice(const std::string& path) const {
    if (path.empty() || path.size() >= static_cast<size_t>(kPathChars)) return -1;
    for (int i = 0; i < kDevices; ++i) {
        const Record::Device& d = record->devices[i];
        // Only a path that ends inside its slot is compared.
        if (d.used && d.path[path.size()] == '\0' && std::memcmp(d.path, path.data(), path.size()) == 0) return i;
    }
    return -1;
}

void CSharedSessionRecord::SweepEndedSessions() {
    for (Record::Session& s : record->sessions) {
        if (s.processId == 0) continue;
        const SessionIdentity other{static_cast<uint32_t>(s.processId), s.creationTime};
        if (IsAlive(other)) continue;
        s.connected = 0;
        s.hasWindow = 0;
        InterlockedExchange(&s.processId, 0);
    }
}

int CSharedSessionRecord::AllocateDevice(const std::string& path) {
    if (path.empty() || path.size() >= static_cast<size_t>(kPathChars)) return -1;
    LONG inUse = 0;
    for (const Record::Session& s : record->sessions) {
        if (s.processId != 0) inUse |= s.connected;
    }
    for (int i = 0; i < kDevices; ++i) {
        Record::Device& d = record->devices[i];
        // A slot no session has connected is free again.
        if (d.used && (inUse & (1L << i))) continue;
        std::memset(&d, 0, sizeof d);
        std::memcpy(d.path, path.data(), path.size());
        d.used = 1;
        return i;
    }
    return -1;
}

CSharedSessionRecord::Outcome CSharedSessionRecord::Publish(const SessionIdentity& self, bool hasWindow,
                                                            const std::vector<std::string>& paths) {
    if (!TryLock()) return Outcome::Busy;
    SweepEndedSessions();
    Outcome outcome = Outcome::Done;
    int slot = FindSession(self);
    if (slot < 0) {
        for (int i = 0; i < kSessions && slot < 0; ++i) {
            if (record->sessions[i].processId == 0) slot = i;
        }
    }
    if (slot < 0) {
        outcome = Outcome::Full;
    } else {
        Record::Session& s = record->sessions[slot];
        // This session's own devices are left out while its mask is rebuilt, so that a slot it
        // gives up can be taken for one of its new paths.
        s.connected = 0;
        LONG connected = 0;
        for (const std::string& path : paths) {
            int device = FindDevice(path);
            if (device < 0) device = AllocateDevice(path);
            if (device < 0) {
                outcome = Outcome::Full;
                continue;
            }
            connected |= 1L << device;
        }
        s.creationTime = self.creationTime;
        s.hasWindow = hasWindow ? 1 : 0;
        s.connected = connected;
        InterlockedExchange(&s.processId, static_cast<LONG>(self.processId));
    }
    Unlock();
    return outcome;
}

bool CSharedSessionRecord::OwnerIsLive(int device) const {
    const Record::Device& d = record->devices[device];
    const LONG owner = d.owner;
    if (owner < 1 || owner > kSessions) return false;
    const Record::Session& s = record->sessions[owner - 1];
    if (static_cast<uint32_t>(s.processId) != d.ownerProcessId || s.creationTime != d.ownerCreationTime) return false;
    if (!s.hasWindow || !(s.connected & (1L << device))) return false;
    return IsAlive(SessionIdentity{d.ownerProcessId, d.ownerCreationTime});
}

CSharedSessionRecord::Outcome CSharedSessionRecord::ClaimConnected(const SessionIdentity& self) {
    if (!TryLock()) return Outcome::Busy;
    const int slot = FindSession(self);
    if (slot >= 0) {
        const LONG connected = record->sessions[slot].connected;
        for (int i = 0; i < kDevices; ++i) {
            if (!(connected & (1L << i))) continue;
            Record::Device& d = record->devices[i];
            d.owner = slot + 1;
            d.ownerProcessId = self.processId;
            d.ownerCreationTime = self.creationTime;
        }
    }
    Unlock();
    return slot >= 0 ? Outcome::Done : Outcome::Full;
}

bool CSharedSessionRecord::OwnsAllConnected(const SessionIdentity& self) const {
    const int slot = FindSession(self);
    if (slot < 0) return true;  // not in the record: nothing to claim
    const LONG connected = record->sessions[slot].connected;
    for (int i = 0; i < kDevices; ++i) {
        if (!(connected & (1L << i))) continue;
        const Record::Device& d = record->devices[i];
        if (d.owner != slot + 1 || d.ownerProcessId != self.processId || d.ownerCreationTime != self.creationTime) {
            return false;
        }
    }
    return true;
}

CSharedSessionRecord::Decision CSharedSessionRecord::DecidePress(const SessionIdentity& self,
                                                                 const std::string& path) {
    if (!TryLock()) return Decision::Busy;
    Decision decision = Decision::Send;  // a device or session the record cannot hold: as if alone
    const int slot = FindSession(self);
    const int device = slot < 0 ? -1 : FindDevice(path);
    if (device >= 0 && (record->sessions[slot].connected & (1L << device))) {
        Record::Device& d = record->devices[device];
        if (!record->sessions[slot].hasWindow) {
            // A session without a window never owns presses: it sends them while no live session
            // with a window has the device connected, as every such session does.
            for (int i = 0; i < kSessions; ++i) {
                const Record::Session& s = record->sessions[i];
                if (i != slot && s.processId != 0 && s.hasWindow && (s.connected & (1L << device)) &&
                    IsAlive(SessionIdentity{static_cast<uint32_t>(s.processId), s.creationTime})) {
                    decision = Decision::Hold;
                }
            }
        } else if (OwnerIsLive(device)) {
            decision = d.owner == slot + 1 ? Decision::Send : Decision::Hold;
        } else {
            // Nobody alive owns the presses: this session, with its window, takes them.
            d.owner = slot + 1;
            d.ownerProcessId = self.processId;
            d.ownerCreationTime = self.creationTime;
        }
    }
    Unlock();
    return decision;
}

void CSharedSessionRecord::Leave(const SessionIdentity& self) {
    if (!record) return;
    const int slot = FindSession(self);
    if (slot < 0) return;
    // Without the lock: clearing the process id alone frees the slot, and every owner check
    // compares it first.
    Record::Session& s = record->sessions[slot];
    InterlockedExchange(&s.processId, 0);
}

bool CSharedSessionRecord::Describe(std::vector<SharedDeviceView>& devices) {
    devices.clear();
    if (!record || !TryLock()) return false;
    for (int i = 0; i < kDevices; ++i) {
        const Record::Device& d = record->devices[i];
        if (!d.used || d.path[kPathChars - 1] != '\0') continue;
        SharedDeviceView view;
        view.path = d.path;
        for (const Record::Session& s : record->sessions) {
            if (s.processId != 0 && (s.connected & (1L << i)) &&
                IsAlive(SessionIdentity{static_cast<uint32_t>(s.processId), s.creationTime})) {
                ++view.sessionsConnected;
            }
        }
        if (view.sessionsConnected == 0) continue;
        if (d.owner >= 1 && d.owner <= kSessions) {
            view.ownerProcessId = d.ownerProcessId;
            view.ownerAlive = OwnerIsLive(i);
        }
        devices.push_back(view);
    }
    Unlock();
    return true;
}

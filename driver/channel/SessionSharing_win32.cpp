// The user's sessions on this PC share one record (CSharedSessionRecord) of which session owns the
// presses of each device they have connected. A session whose ICA window is in the foreground
// takes the presses of its devices, at every poll and again when a press comes; focus on a local
// program changes nothing. A session that cannot use the record (another process made the name
// first with something else, or the record is full) behaves as if it were alone: it sends.
//
// Threads: SessionSharingPoll, SessionSharingEnd and the device (dis)connections run on the engine
// thread; SessionSendsPress on the devices' reader threads. `lock` (this process only) guards the
// connected paths; the window, its mode, the setting and the record's state are atomics the engine
// thread writes and the readers read. The shared record is never waited for: the engine thread
// tries once per poll, a reader a bounded number of times, yielding in between.
#include "SessionSharing.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <vector>

#include "ButtonsGoTo.h"
#include "ChannelTrace.h"
#include "DriverEntry.h"
#include "CriticalSection.h"
#include "FormatString.h"
#include "IcaRecords.h"
#include "SharedSessionRecord_win32.h"

namespace {

enum class RecordState { NotOpen, Ready, Unusable };

// How often a reader tries the record's lock before it sends as if alone.
constexpr int kReaderAttempts = 200;
// Every how many polls a known window is checked to still be a window (at 100 ms a poll, 1.6 s).
constexpr unsigned kWindowCheckPolls = 16;

// What the poll's foreground check keeps between polls (engine thread only).
struct PollForeground {
    HWND window = nullptr;      // the ICA window the entries below belong to
    HWND root = nullptr;        // its top-level ancestor
    HWND foreground = nullptr;  // the foreground window at the last poll
    bool ours = false;          // whether that window is this session's
};

struct SharingState {
    CCriticalSectionClass lock;
    std::map<std::string, int> connected;  // guarded by lock: path -> devices open on it
    std::atomic<bool> dirty{false};        // the record does not show what connected says yet

    std::atomic<bool> settingRead{false};
    std::atomic<ButtonsGoTo> setting{ButtonsGoTo::LastActiveSession};
    std::atomic<HWND> window{nullptr};
    std::atomic<uint32_t> mode{0};
    std::atomic<RecordState> recordState{RecordState::NotOpen};
    CSharedSessionRecord record;  // opened once by the engine thread, before recordState is Ready
    std::atomic<bool> tracedFull{false};
    PollForeground pollForeground;  // engine thread only
    unsigned pollsSinceWindowCheck = 0;  // engine thread only

    std::vector<std::string> ConnectedPaths() {
        CCriticalSectionLocker locker(lock);
        std::vector<std::string> paths;
        for (const auto& entry : connected) paths.push_back(entry.first);
        return paths;
    }
    bool HasConnected() {
        CCriticalSectionLocker locker(lock);
        return !connected.empty();
    }
};

SharingState& State() {
    static SharingState* const state = new SharingState();  // lives as long as the process
    return *state;
}

// Engine thread: the session's window from the WD, or null when the client does not answer.
HWND QueryIcaWindow(VD* vd, uint32_t& mode) {
    WDICAWINDOWINFO info = {};
    WDQUERYINFORMATION query = {};
    query.WdInformationClass = ica::kWdClassIcaWindowInfo;
    query.pWdInformation = &info;
    query.WdInformationLength = sizeof info;
    uint16_t size = sizeof query;
    if (VdCallWd(vd, ica::kWdQueryInformation, &query, &size) != ica::kStatusSuccess) return nullptr;
    HWND window = static_cast<HWND>(info.hwnd);
    if (!window || !IsWindow(window)) return nullptr;
    mode = info.mode;
    return window;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// Whether the user works in this session now: the foreground window is the top-level ancestor of
// the ICA window (in a desktop session it can belong to the Desktop Viewer, another process), or a
// top-level window of this engine process (the application windows of a seamless session; in a
// desktop session its own dialogs). A session that does not know its window never counts.
// The mode is read and traced only: with both tests applied in every mode, a session that changes
// between desktop and seamless needs nothing more. A reader's check, when a press comes: asked
// afresh.
bool ForegroundIsThisSession(SharingState& state) {
    const HWND window = state.window.load();
    if (!window) return false;
    const HWND foreground = GetForegroundWindow();
    if (!foreground) return false;
    return GetAncestor(window, GA_ROOT) == foreground || ProcessOf(foreground) == GetCurrentProcessId();
}

// The same check at a poll, where each call to the window manager counts (under Wine each is a
// round trip to its server): the ancestor is looked up when the window is learned or checked, and
// the answer for a foreground window is kept until another window comes to the foreground. Engine
// thread only.
bool ForegroundIsThisSessionAtPoll(SharingState& state, bool windowChecked) {
    PollForeground& cache = state.pollForeground;
    const HWND window = state.window.load();
    if (!window) return false;
    if (cache.window != window || windowChecked) {
        cache = PollForeground{};
        cache.window = window;
        cache.root = GetAncestor(window, GA_ROOT);
    }
    const HWND foreground = GetForegroundWindow();
    if (!foreground) return false;
    if (foreground != cache.foreground) {
        cache.foreground = foreground;
        cache.ours = foreground == cache.root || ProcessOf(foreground) == GetCurrentProcessId();
    }
    return cache.ours;
}

void Publish(SharingState& state) {
    state.dirty = false;
    const CSharedSessionRecord::Outcome outcome = state.record.Publish(
        CSharedSessionRecord::Self(), state.window.load() != nullptr, state.ConnectedPaths());
    if (outcome == CSharedSessionRecord::Outcome::Busy) state.dirty = true;
    if (outcome == CSharedSessionRecord::Outcome::Full && !state.tracedFull.exchange(true)) {
        TraceClient("Sessions: the shared record has no room for this session or one of its devices; "
                    "their button changes go out from this session as from a session alone");
    }
}

void PollOrThrow(VD* vd) {
    SharingState& state = State();
    if (!state.settingRead) {
        std::string note;
        state.setting = ReadButtonsGoTo(note);
        state.settingRead = true;
        if (!note.empty()) TraceClientError(note + "; LastActiveSession is used");
        TraceClient(FormatString("Sessions: button changes go to %s", ButtonsGoToName(state.setting)));
    }
    if (state.setting == ButtonsGoTo::EverySession) return;

    // A known window is checked every kWindowCheckPolls polls (each check is a call to the window
    // manager); one that is no longer a window is asked for again.
    const HWND known = state.window.load();
    const bool checkWindow = !known || ++state.pollsSinceWindowCheck >= kWindowCheckPolls;
    if (checkWindow) state.pollsSinceWindowCheck = 0;
    if (checkWindow && (!known || !IsWindow(known))) {
        uint32_t mode = 0;
        const HWND window = QueryIcaWindow(vd, mode);
        if (window != known) {
            state.mode = mode;
            state.window = window;
            state.dirty = true;
            if (window) {
                TraceClient(FormatString("Sessions: the ICA window is %p, mode 0x%x%s", static_cast<void*>(window),
                                         mode, (mode & ica::kIcaWindowModeSeamless) ? " (seamless)" : ""));
            }
        }
    }

    if (state.recordState == RecordState::NotOpen) {
        std::string whyNot;
        if (state.record.Open(whyNot)) {
            state.recordState = RecordState::Ready;
        } else if (!whyNot.empty()) {
            state.recordState = RecordState::Unusable;
            TraceClientError("Sessions: the shared record is not used, " + whyNot +
                             "; every session that connected a device sends its button changes");
        }
    }
    if (state.recordState != RecordState::Ready) return;
    if (state.dirty) Publish(state);
    if (!state.HasConnected() || !ForegroundIsThisSessionAtPoll(state, checkWindow)) return;
    const SessionIdentity self = CSharedSessionRecord::Self();
    if (!state.record.OwnsAllConnected(self)) state.record.ClaimConnected(self);
}

}  // namespace

void SessionSharingPoll(VD* vd) {
    try {
        PollOrThrow(vd);
    } catch (...) {
        // Out of memory at worst: the next poll tries again.
    }
}

void SessionSharingEnd() {
    SharingState& state = State();
    if (state.recordState == RecordState::Ready) state.record.Leave(CSharedSessionRecord::Self());
    state.window = nullptr;
    state.settingRead = false;  // a later session of this process reads the setting afresh
    state.dirty = true;
}

void SessionDeviceConnected(const std::string& path) {
    SharingState& state = State();
    CCriticalSectionLocker locker(state.lock);
    ++state.connected[path];
    state.dirty = true;
}

void SessionDeviceDisconnected(const std::string& path) {
    SharingState& state = State();
    CCriticalSectionLocker locker(state.lock);
    const auto it = state.connected.find(path);
    if (it == state.connected.end()) return;
    if (--it->second <= 0) state.connected.erase(it);
    state.dirty = true;
}

bool SessionSendsPress(const std::string& path) {
    SharingState& state = State();
    if (!state.settingRead || state.setting == ButtonsGoTo::EverySession) return true;
    if (state.recordState != RecordState::Ready) return true;
    try {
        const SessionIdentity self = CSharedSessionRecord::Self();
        for (int attempt = 0; attempt < kReaderAttempts; ++attempt) {
            // What the engine thread has not published yet, and the foreground as it is now: a
            // poll that comes late does not decide where this press goes.
            if (state.dirty) Publish(state);
            if (!state.dirty && ForegroundIsThisSession(state)) state.record.ClaimConnected(self);
            const CSharedSessionRecord::Decision decision = state.record.DecidePress(self, path);
            if (decision != CSharedSessionRecord::Decision::Busy) {
                return decision == CSharedSessionRecord::Decision::Send;
            }
            SwitchToThread();
        }
    } catch (...) {
    }
    return true;  // the record stayed busy: as a session alone
}

// Where one device's button changes go when several of the user's sessions have it connected: a
// press goes out only from the session that owns the device's presses (SessionSendsPress), and a
// release goes out from whichever session sent its press, wherever the focus is by then, so that
// no server is left with a button held down: a session holds back exactly the releases of the
// presses it held back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CriticalSection.h"

class CButtonRoute {
public:
    CButtonRoute() = default;
    ~CButtonRoute();  // Disconnected
    CButtonRoute(const CButtonRoute&) = delete;
    CButtonRoute& operator=(const CButtonRoute&) = delete;

    // Engine thread: the device was opened on path (a new path replaces the old one), or closed.
    // The presses held back stay across a close and a new opening of the same path.
    void Connected(const std::string& path);
    void Disconnected();
    std::string Path() const;

    // Reader thread: whether this session sends the change of button (pressed 1, released 0).
    bool Sends(int32_t button, int32_t pressed);

private:
    static constexpr size_t kMaxHeldPresses = 64;
    mutable CCriticalSectionClass lock;  // guards path and heldPresses; never held across a call out
    // Empty (or null) while closed. Shared and never changed once made, so that the reader takes it
    // without copying its text: the reader's path allocates nothing.
    std::shared_ptr<const std::string> path;
    std::vector<int32_t> heldPresses;    // buttons whose press this session held back, not yet released
    std::string heldPath;                // the interface they were pressed on
};

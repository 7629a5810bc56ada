#include "ButtonRoute.h"

#include <algorithm>

#include "SessionSharing.h"

CButtonRoute::~CButtonRoute() { Disconnected(); }

void CButtonRoute::Connected(const std::string& newPath) {
    std::string old;
    auto made = std::make_shared<const std::string>(newPath);
    {
        CCriticalSectionLocker locker(lock);
        if (path && *path == newPath) return;
        if (path) old = *path;
        path = std::move(made);
        // Presses held back on another interface have nothing to do with this one.
        if (heldPath != newPath) heldPresses.clear();
        heldPath = newPath;
    }
    if (!old.empty()) SessionDeviceDisconnected(old);
    if (!newPath.empty()) SessionDeviceConnected(newPath);
}

void CButtonRoute::Disconnected() {
    std::string old;
    {
        CCriticalSectionLocker locker(lock);
        if (path) old = *path;
        path.reset();
        // The held presses stay: the device model keeps its pressed buttons across a reconnection
        // too, so a release that comes after one still goes with its press.
    }
    if (!old.empty()) SessionDeviceDisconnected(old);
}

std::string CButtonRoute::Path() const {
    CCriticalSectionLocker locker(lock);
    return path ? *path : std::string();
}

bool CButtonRoute::Sends(int32_t button, int32_t pressed) {
    std::shared_ptr<const std::string> current;
    {
        CCriticalSectionLocker locker(lock);
        if (!pressed) {
            // A release is held back only where its press was: it goes with the press.
            const auto it = std::find(heldPresses.begin(), heldPresses.end(), button);
            if (it == heldPresses.end()) return true;
            heldPresses.erase(it);
            return false;
        }
        current = path;
    }
    // Asked without the lock, so that the engine thread's Connected never waits for the record.
    static const std::string kClosed;
    if (SessionSendsPress(current ? *current : kClosed)) return true;
    CCriticalSectionLocker locker(lock);
    // A device model reports a button pressed again only after its release, so the list holds at
    // most one entry per button of the device.
    if (heldPresses.size() < kMaxHeldPresses) heldPresses.push_back(button);
    return false;
}

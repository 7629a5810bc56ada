// How this session shares the devices it has connected with the user's other ICA sessions on the
// PC. On Windows (SessionSharing_win32.cpp) the sessions keep a shared record of which of them the
// user last worked in, and only that one sends a device's presses. Elsewhere every session that
// connected a device sends its presses (the ICA Client for Linux tells a driver nothing of its
// window): every press goes out.
#pragma once

#include <string>

struct VD;

// Engine thread, at every poll of an open channel (and once at its open): learns the session's
// window from the WD while none is known, publishes what changed, and takes the presses of the
// devices this session has connected while its window is in the foreground. Never waits, throws
// nothing.
void SessionSharingPoll(VD* vd);
// Engine thread (VdUnload): this session leaves the record and forgets its window.
void SessionSharingEnd();

// Engine thread: a device of this session was opened on path, or closed again. Counted, since two
// server devices may open one interface.
void SessionDeviceConnected(const std::string& path);
void SessionDeviceDisconnected(const std::string& path);

// A device's reader thread, for a press of the device at path: whether this session sends it.
bool SessionSendsPress(const std::string& path);

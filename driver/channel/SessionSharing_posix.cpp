// Every session that connected a device sends its presses.
#include "SessionSharing.h"

void SessionSharingPoll(VD*) {}
void SessionSharingEnd() {}
void SessionDeviceConnected(const std::string&) {}
void SessionDeviceDisconnected(const std::string&) {}
bool SessionSendsPress(const std::string&) { return true; }

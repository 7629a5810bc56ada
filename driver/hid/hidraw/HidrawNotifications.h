// The hidraw backend's notification delivery (see HidrawNotifications.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DeviceMonitor.h"

namespace hidraw {

// Delivers the waiting arrivals and removals to the recipients registered on the calling thread
// (at most 64 events per call); returns the number of deliveries. The engine poll hook calls it.
// When the monitor lost events, the nodes present are listed again instead and each recipient is
// told the differences against what it knows: arrivals of nodes it did not know (or that now hold
// another device), removals of nodes that are gone. Nodes present when a recipient registered
// count as known and are never announced to it.
int DeliverNotifications();

// How many times the open monitors reported lost events (for tests and diagnostics).
unsigned long LostEventReports();

// The record a recipient receives: a DEV_BROADCAST_DEVICEINTERFACE_A naming the node.
std::vector<unsigned char> BuildInterfaceBroadcast(const std::string& name);

// How the first registration opens its monitor (tests give a monitor of their own; null restores
// CDeviceMonitor::Create). Returns the previous factory.
using MonitorFactory = std::unique_ptr<CDeviceMonitor> (*)();
MonitorFactory SetMonitorFactory(MonitorFactory factory);

// The open monitor's Source(), or null when none is open.
const char* MonitorSource();

// The open monitor's Descriptor(): readable when DeliverNotifications has events to deliver; -1
// when no monitor is open. A program with a loop of its own (the device check) sleeps in poll()
// on it. Valid until the last registration goes.
int MonitorDescriptor();

}  // namespace hidraw

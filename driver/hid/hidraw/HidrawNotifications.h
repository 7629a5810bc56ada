// The hidraw backend's notification delivery (see HidrawNotifications.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DeviceMonitor.h"

namespace hidraw {

// Delivers the waiting arrivals and removals to the recipients registered on the calling thread
// (at most 64 events per call); returns the number of deliveries. The engine poll hook calls it.
int DeliverNotifications();

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

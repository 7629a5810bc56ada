// The programs that load the driver in the VM run it as the ICA Client runs it on a thin client: in
// a process of an ordinary user, "tovuser" (uid 1000), who reaches the hidraw nodes only through
// the udev rules of tovusb-setup, installed with --group for a group of the test's own
// (kSessionGroup) that only tovuser belongs to. Root keeps only what root does on a real system:
// before the program's first test, while it is still root, the program installs the rules, then
// forks a helper that stays root and drops its own credentials (setgroups, setgid, setuid). The
// helper opens /dev/uhid for each device the tests play and a hidraw node's uevent file for a
// flood, and hands the descriptor over a socket; on request it also settles, holds or releases
// udevd's queue and hides libudev. When the program ends it uninstalls the rules.
//
// Linked into vm_driver_tests, vm_kernel_monitor_tests, vm_unload_tests and vm_bench; the drop happens at static
// initialisation, before any thread exists. A program started as another user than root fails.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace vmtest {

constexpr const char* kSessionGroup = "tovdictation";
constexpr gid_t kSessionGroupId = 1001;
constexpr uid_t kSessionUserId = 1000;

// Empty when the program runs as the session user, else why it does not.
const std::string& SessionUserFailure();

// Waits until this process may open `node` for reading and writing (udevd applied the rule).
bool WaitUntilUsable(const std::string& node, std::chrono::milliseconds timeout);

// `count` "change" uevents of the hidraw node `node` (/dev/hidrawN), each a large message, written
// to the descriptor of its uevent file that the root helper opened; udevd passes each on to every
// udev monitor of the subsystem hidraw. False when one could not be written.
bool FloodUevents(const std::string& node, int count);
// Waits (up to 180 s) until udevd has handled every uevent queued (the root helper's udevadm
// settle), so that a flood does not keep it busy for what follows.
bool SettleUdev();
// udevadm control --stop-exec-queue (hold) or --start-exec-queue: while held, udevd handles no
// uevent, so a node the kernel makes stays root's until the queue runs again.
bool HoldUdevQueue(bool hold);
// Renames the VM's libudev.so.1 away (hide), so that a process that loads it from now on finds
// none, or back; the helper puts it back at the program's end in any case.
bool HideLibudev(bool hide);

}  // namespace vmtest

// What the hidraw backend reads from sysfs and how it names the device nodes. Every path is taken
// below SystemRoot(), which is empty on a real system and a folder holding a fake /sys and /dev in
// tests. Sysfs contents are untrusted text: every read is bounded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "UsbDeviceFacts.h"

namespace hidraw {

// The prefix of every /sys and /dev path the backend touches ("" on a real system). Set it before
// the backend is used; it is not synchronised.
void SetSystemRoot(const std::string& root);
const std::string& SystemRoot();

// True for "/dev/hidraw" followed by one to nine digits, nothing else.
bool IsHidrawNodePath(const std::string& path);

// The device nodes of the hidraw class devices in /sys/class/hidraw, in the order of their numbers
// ("/dev/hidraw0", "/dev/hidraw1", ...). At most kMaxNodes are listed.
constexpr size_t kMaxNodes = 1024;
std::vector<std::string> ListHidrawNodes();

// Which device has the node now: the target of its class link /sys/class/hidraw/hidrawN, which names
// the HID device (its name carries a number the kernel never gives twice while running, e.g.
// ".../0003:0911:0C1C.0005/hidraw/hidraw3"). Empty when the node is not there (or path is not a
// node path). The kernel gives a freed node number to the next device, so the number alone is not
// the device.
std::string NodeIdentity(const std::string& node);

// The vendor and product ids of the HID device that has the node now, from the name of the
// folder its class link names ("BBBB:VVVV:PPPP.NNNN", the name udev rules match with KERNELS),
// read without opening the node. False when the node is not there or the name is not of that form.
bool NodeIds(const std::string& node, uint16_t& vendorId, uint16_t& productId);

// What the udev rule that tovusb-setup installs ("/etc/udev/rules.d/70-tovusb.rules") gives, for a
// trace line about a node that stays closed to the user: that it is missing, that it gives the
// devices to users with a seat only, or the group it gives them to as well.
std::string RuleHint();

// The USB device's release number (bcdDevice) for the hidraw class device folder classFolder (a
// /sys/class/hidraw/hidrawN or /sys/dev/char/M:N path), when its HID device sits on a USB
// interface; 0 otherwise (uhid, Bluetooth, I2C) or when the file cannot be read.
uint16_t UsbReleaseNumber(const std::string& classFolder);

// What sysfs shows of the USB device under the hidraw class device folder classFolder: the
// device's idVendor, idProduct and bcdDevice, and bInterfaceClass, bInterfaceSubClass and
// bInterfaceProtocol of each of its interfaces (the folders "<device>:<config>.<interface>" beside
// the HID device's interface, in name order). A file that cannot be read leaves its value unknown;
// every interface is shown when their count matches the device's bNumInterfaces. False when the
// HID device does not sit on a USB interface.
bool DescribeUsbDevice(const std::string& classFolder, hidseam::UsbDeviceFacts& facts);

// The sysfs folder of the character device with this device number (/sys/dev/char/M:N).
std::string CharacterDeviceFolder(unsigned major, unsigned minor);

}  // namespace hidraw

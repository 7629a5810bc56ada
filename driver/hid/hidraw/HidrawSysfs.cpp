#include "HidrawSysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "AsciiText.h"

namespace hidraw {

namespace {

std::string& RootStorage() {
    static std::string* root = new std::string();
    return *root;
}

// The number of "hidrawN" (N one to nine digits), or -1.
long NodeNumber(const char* name, const char* prefix) {
    const size_t prefixLength = std::char_traits<char>::length(prefix);
    if (std::char_traits<char>::compare(name, prefix, prefixLength) != 0) return -1;
    const char* digits = name + prefixLength;
    size_t count = 0;
    long number = 0;
    for (; digits[count] != '\0'; ++count) {
        if (count == 9 || digits[count] < '0' || digits[count] > '9') return -1;
        number = number * 10 + (digits[count] - '0');
    }
    return count == 0 ? -1 : number;
}

// Reads at most 63 bytes of a small sysfs attribute.
bool ReadSmallFile(const std::string& path, std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    char buffer[64];
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n <= 0) return false;
    text.assign(buffer, static_cast<size_t>(n));
    return true;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string Parent(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// Up to maxDigits hexadecimal digits, optionally followed by white space (a bcdDevice or
// bInterfaceClass file).
bool ParseHex(const std::string& text, size_t maxDigits, uint16_t& result) {
    const size_t digits = std::min(text.find_first_of("\n \t"), text.size());
    uint32_t value = 0;
    if (digits > maxDigits || !ParseHexDigits(text, 0, digits, value)) return false;
    result = static_cast<uint16_t>(value);
    return true;
}

hidseam::KnownValue ReadHexFile(const std::string& path, size_t maxDigits) {
    std::string text;
    uint16_t value = 0;
    if (!ReadSmallFile(path, text) || !ParseHex(text, maxDigits, value)) return hidseam::KnownValue{};
    return hidseam::Known(value);
}

// The USB interface folder and the USB device folder above a hidraw class device folder.
bool UsbFolders(const std::string& classFolder, std::string& usbInterface, std::string& usbDevice) {
    // classFolder/device is the HID device; on USB its parent is the interface (which has
    // bInterfaceNumber) and the interface's parent the USB device.
    char resolved[PATH_MAX];
    if (realpath((classFolder + "/device").c_str(), resolved) == nullptr) return false;
    usbInterface = Parent(resolved);
    if (usbInterface.empty() || !Exists(usbInterface + "/bInterfaceNumber")) return false;
    usbDevice = Parent(usbInterface);
    return !usbDevice.empty();
}

}  // namespace

void SetSystemRoot(const std::string& root) { RootStorage() = root; }
const std::string& SystemRoot() { return RootStorage(); }

bool IsHidrawNodePath(const std::string& path) {
    static const char kPrefix[] = "/dev/hidraw";
    if (path.size() > sizeof kPrefix - 1 + 9) return false;
    if (path.find('\0') != std::string::npos) return false;
    return NodeNumber(path.c_str(), kPrefix) >= 0;
}

std::vector<std::string> ListHidrawNodes() {
    std::vector<std::pair<long, std::string>> found;
    DIR* folder = opendir((SystemRoot() + "/sys/class/hidraw").c_str());
    if (folder != nullptr) {
        while (dirent* entry = readdir(folder)) {
            const long number = NodeNumber(entry->d_name, "hidraw");
            if (number < 0) continue;
            found.emplace_back(number, std::string("/dev/") + entry->d_name);
            if (found.size() == kMaxNodes) break;
        }
        closedir(folder);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> nodes;
    nodes.reserve(found.size());
    for (auto& node : found) nodes.push_back(std::move(node.second));
    return nodes;
}

std::string NodeIdentity(const std::string& node) {
    if (!IsHidrawNodePath(node)) return std::string();
    char target[PATH_MAX];
    const std::string link = SystemRoot() + "/sys/class/hidraw/" + node.substr(sizeof "/dev/" - 1);
    const ssize_t n = readlink(link.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return std::string();
    return std::string(target, static_cast<size_t>(n));
}

bool NodeIds(const std::string& node, uint16_t& vendorId, uint16_t& productId) {
    const std::string target = NodeIdentity(node);
    // ".../0003:0911:0C1C.0005/hidraw/hidraw3": the component before "/hidraw/".
    const size_t classPart = target.rfind("/hidraw/");
    if (classPart == std::string::npos) return false;
    const size_t start = target.rfind('/', classPart == 0 ? 0 : classPart - 1);
    const std::string name = target.substr(start == std::string::npos ? 0 : start + 1,
                                           classPart - (start == std::string::npos ? 0 : start + 1));
    // Four hex digits of bus, a colon, four of vendor, a colon, four of product, a dot.
    uint32_t ids[2] = {0, 0};
    if (name.size() < 15 || name[4] != ':' || name[9] != ':' || name[14] != '.' ||
        !ParseHexDigits(name, 5, 9, ids[0]) || !ParseHexDigits(name, 10, 14, ids[1]))
        return false;
    vendorId = static_cast<uint16_t>(ids[0]);
    productId = static_cast<uint16_t>(ids[1]);
    return true;
}

std::string RuleHint() {
    const std::string rules = "/etc/udev/rules.d/70-tovusb.rules";
    const int fd = open((SystemRoot() + rules).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return "\"" + rules + "\" is missing: tovusb-setup install writes it";
    // The rules of every supported model fit in a few kilobytes; more is not ours to read.
    std::string text(16384, '\0');
    const ssize_t n = read(fd, &text[0], text.size());
    close(fd);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    const std::string key = "GROUP=\"";
    const size_t at = text.find(key);
    if (at == std::string::npos) {
        return "\"" + rules + "\" gives the devices to users with a seat only: where the user has none, install it "
               "with tovusb-setup install --group NAME";
    }
    // A group name as udev takes it: letters, digits and a few marks, at most 32 of them.
    std::string group;
    for (size_t i = at + key.size(); i < text.size() && group.size() < 32; ++i) {
        const char c = text[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
              c == '.'))
            break;
        group += c;
    }
    return "\"" + rules + "\" gives the devices to users with a seat and to the group \"" + group +
           "\": check that this user has a seat or is in that group";
}

uint16_t UsbReleaseNumber(const std::string& classFolder) {
    std::string usbInterface, usbDevice;
    if (!UsbFolders(classFolder, usbInterface, usbDevice)) return 0;
    const hidseam::KnownValue release = ReadHexFile(usbDevice + "/bcdDevice", 4);
    return release.known ? release.value : 0;
}

bool DescribeUsbDevice(const std::string& classFolder, hidseam::UsbDeviceFacts& facts) {
    std::string usbInterface, usbDevice;
    if (!UsbFolders(classFolder, usbInterface, usbDevice)) return false;
    hidseam::UsbDeviceFacts found;
    found.vendorID = ReadHexFile(usbDevice + "/idVendor", 4);
    found.productID = ReadHexFile(usbDevice + "/idProduct", 4);
    found.release = ReadHexFile(usbDevice + "/bcdDevice", 4);
    // The interface folders are named after the device folder: "1-2" has "1-2:1.0", "1-2:1.1", ...
    const std::string prefix = usbDevice.substr(usbDevice.rfind('/') + 1) + ":";
    std::vector<std::string> names;
    bool more = false;
    if (DIR* folder = opendir(usbDevice.c_str())) {
        while (dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name.compare(0, prefix.size(), prefix) != 0 || !Exists(usbDevice + "/" + name + "/bInterfaceClass"))
                continue;
            if (names.size() == hidseam::kMaxUsbInterfaces) {
                more = true;
                break;
            }
            names.push_back(name);
        }
        closedir(folder);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string at = usbDevice + "/" + name + "/";
        found.interfaces.push_back(hidseam::UsbInterfaceClass{
            ReadHexFile(at + "bInterfaceClass", 2), ReadHexFile(at + "bInterfaceSubClass", 2),
            ReadHexFile(at + "bInterfaceProtocol", 2)});
    }
    // bNumInterfaces is decimal, right-aligned in a field of blanks (" 3").
    std::string count;
    long expected = -1;
    if (ReadSmallFile(usbDevice + "/bNumInterfaces", count)) {
        char* end = nullptr;
        expected = std::strtol(count.c_str(), &end, 10);
        if (end == count.c_str()) expected = -1;
    }
    found.allInterfacesShown = !more && !names.empty() && expected == static_cast<long>(names.size());
    facts = found;
    return true;
}

std::string CharacterDeviceFolder(unsigned major, unsigned minor) {
    char name[64];
    std::snprintf(name, sizeof name, "/sys/dev/char/%u:%u", major, minor);
    return SystemRoot() + name;
}

}  // namespace hidraw

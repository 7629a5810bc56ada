#include "HidrawSysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

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

// Four hexadecimal digits, optionally followed by white space (a bcdDevice file).
bool ParseRelease(const std::string& text, uint16_t& release) {
    uint32_t value = 0;
    size_t digits = 0;
    for (char c : text) {
        int nibble;
        if (c >= '0' && c <= '9') {
            nibble = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            nibble = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            nibble = c - 'A' + 10;
        } else if (c == '\n' || c == ' ' || c == '\t') {
            break;
        } else {
            return false;
        }
        if (++digits > 4) return false;
        value = value * 16 + static_cast<uint32_t>(nibble);
    }
    if (digits == 0) return false;
    release = static_cast<uint16_t>(value);
    return true;
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

uint16_t UsbReleaseNumber(const std::string& classFolder) {
    // classFolder/device is the HID device; on USB its parent is the interface (which has
    // bInterfaceNumber) and the interface's parent the USB device (which has bcdDevice).
    char resolved[PATH_MAX];
    if (realpath((classFolder + "/device").c_str(), resolved) == nullptr) return 0;
    const std::string usbInterface = Parent(resolved);
    if (usbInterface.empty() || !Exists(usbInterface + "/bInterfaceNumber")) return 0;
    const std::string usbDevice = Parent(usbInterface);
    std::string text;
    uint16_t release = 0;
    if (usbDevice.empty() || !ReadSmallFile(usbDevice + "/bcdDevice", text) || !ParseRelease(text, release)) return 0;
    return release;
}

std::string CharacterDeviceFolder(unsigned major, unsigned minor) {
    char name[64];
    std::snprintf(name, sizeof name, "/sys/dev/char/%u:%u", major, minor);
    return SystemRoot() + name;
}

}  // namespace hidraw

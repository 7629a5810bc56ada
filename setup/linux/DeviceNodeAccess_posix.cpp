#include "DeviceNodeAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AsciiText.h"

#include "HidrawSysfs.h"

namespace linuxsetup {

namespace {

constexpr mode_t kKernelNodeMode = 0600;

bool ParseHex(const std::string& text, size_t digits, uint32_t& value) {
    return text.size() == digits && ParseHexDigits(text, 0, digits, value);
}

// The base name of the folder that /sys/class/hidraw/hidrawN/device links to (the HID device).
bool HidDeviceName(const std::string& classFolder, std::string& name) {
    char resolved[PATH_MAX];
    if (realpath((classFolder + "/device").c_str(), resolved) == nullptr) return false;
    const char* slash = std::strrchr(resolved, '/');
    name = slash ? slash + 1 : resolved;
    return true;
}

// The "M:N" in sysfs's dev file of the class device.
bool SysfsDeviceNumber(const std::string& classFolder, dev_t& number) {
    const int fd = open((classFolder + "/dev").c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    char text[32];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return false;
    text[n] = '\0';
    unsigned major = 0, minor = 0;
    char end = 0;
    if (std::sscanf(text, "%u:%u%c", &major, &minor, &end) < 2 || (end != '\0' && end != '\n')) return false;
    number = makedev(major, minor);
    return true;
}

const DeviceModel* FindModel(const std::vector<DeviceModel>& models, uint16_t vendorID, uint16_t productID) {
    for (const DeviceModel& model : models)
        if (model.vendorID == vendorID && model.productID == productID) return &model;
    return nullptr;
}

// lstat proves the path is the node itself (no link) and the device sysfs names; /dev is writable
// by root only, so nobody else can put something else there between the check and the change.
bool ResetNode(const std::string& path, dev_t expected, std::string& why) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISCHR(info.st_mode) || info.st_rdev != expected) {
        why = "it is not the character device " + std::to_string(major(expected)) + ":" +
              std::to_string(minor(expected)) + " that sysfs names";
        return false;
    }
    if (lchown(path.c_str(), 0, 0) != 0 || chmod(path.c_str(), kKernelNodeMode) != 0) {
        why = std::strerror(errno);
        return false;
    }
    // The seat user's ACL entry (uaccess); a node without one, or a file system without ACLs, is fine.
    if (removexattr(path.c_str(), "system.posix_acl_access") != 0 && errno != ENODATA && errno != ENOTSUP) {
        why = std::string("its ACL could not be removed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool ParseHidDeviceName(const std::string& name, uint16_t& vendorID, uint16_t& productID) {
    // BBBB:VVVV:PPPP.NNNN
    if (name.size() < 16 || name[4] != ':' || name[9] != ':' || name[14] != '.') return false;
    uint32_t bus = 0, vendor = 0, product = 0, instance = 0;
    if (!ParseHex(name.substr(0, 4), 4, bus) || !ParseHex(name.substr(5, 4), 4, vendor) ||
        !ParseHex(name.substr(10, 4), 4, product) || name.size() > 15 + 8 ||
        !ParseHex(name.substr(15), name.size() - 15, instance))
        return false;
    vendorID = static_cast<uint16_t>(vendor);
    productID = static_cast<uint16_t>(product);
    return true;
}

std::vector<NodeReset> ResetSupportedNodes(const std::vector<DeviceModel>& models) {
    std::vector<NodeReset> resets;
    for (const std::string& node : hidraw::ListHidrawNodes()) {
        const std::string name = node.substr(node.rfind('/') + 1);
        const std::string classFolder = hidraw::SystemRoot() + "/sys/class/hidraw/" + name;
        std::string deviceName;
        uint16_t vendorID = 0, productID = 0;
        if (!HidDeviceName(classFolder, deviceName) || !ParseHidDeviceName(deviceName, vendorID, productID)) continue;
        const DeviceModel* model = FindModel(models, vendorID, productID);
        if (model == nullptr) continue;
        NodeReset reset;
        reset.node = node;
        reset.model = model->name;
        dev_t number = 0;
        if (!SysfsDeviceNumber(classFolder, number)) {
            reset.why = "sysfs gives no device number for it";
        } else {
            reset.done = ResetNode(hidraw::SystemRoot() + node, number, reset.why);
        }
        resets.push_back(std::move(reset));
    }
    return resets;
}

}  // namespace linuxsetup

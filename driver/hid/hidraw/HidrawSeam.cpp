// The HID seam answered by the kernel's hidraw interface: device nodes /dev/hidrawN, listed from
// sysfs, queried with the hidraw ioctls, and their report descriptors parsed by our own parser.
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <vector>

#include "HIDSeam.h"
#include "HidrawSysfs.h"
#include "ReportDescriptor.h"
#include "ReportLayout.h"

namespace hidseam {

namespace {

const Guid kHidGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr uint32_t kBusUsb = 0x03;  // BUS_USB
const uint32_t kPreparsedMagic = 0x48524157;  // "HRAW"

// What an open node answered when it was opened.
struct OpenNode {
    Attributes attributes;
    hidraw::ReportDescriptorSummary summary;
};

struct PreparsedData {
    uint32_t magic;
    Caps caps;
};

// Threads: nodes are opened and closed on the device owner's thread (the engine thread) and read on
// the reader threads; openNodes is guarded by nodeMutex.
std::mutex nodeMutex;
std::map<int, OpenNode>& OpenNodes() {
    static std::map<int, OpenNode>* nodes = new std::map<int, OpenNode>();
    return *nodes;
}

bool FindNode(Handle handle, OpenNode& node) {
    std::lock_guard<std::mutex> lock(nodeMutex);
    auto it = OpenNodes().find(static_cast<int>(handle));
    if (it == OpenNodes().end()) return false;
    node = it->second;
    return true;
}

// Ids, release number and report descriptor of an open node.
bool QueryNode(int fd, OpenNode& node) {
    hidraw_devinfo info = {};
    if (ioctl(fd, HIDIOCGRAWINFO, &info) < 0) return false;
    int size = 0;
    if (ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 || size > static_cast<int>(hidraw::kMaxDescriptorSize)) {
        return false;
    }
    hidraw_report_descriptor descriptor = {};
    descriptor.size = static_cast<uint32_t>(size);
    if (ioctl(fd, HIDIOCGRDESC, &descriptor) < 0) return false;
    if (!hidraw::ParseReportDescriptor(descriptor.value, descriptor.size, node.summary)) return false;
    node.attributes.size = sizeof(Attributes);
    node.attributes.vendorID = static_cast<uint16_t>(info.vendor);
    node.attributes.productID = static_cast<uint16_t>(info.product);
    node.attributes.versionNumber = 0;
    struct stat status;
    if (info.bustype == kBusUsb && fstat(fd, &status) == 0 && S_ISCHR(status.st_mode)) {
        node.attributes.versionNumber =
            hidraw::UsbReleaseNumber(hidraw::CharacterDeviceFolder(major(status.st_rdev), minor(status.st_rdev)));
    }
    return true;
}

struct DeviceSet {
    std::vector<std::string> paths;
};

}  // namespace

void GetHidGuid(Guid& guid) { guid = kHidGuid; }

bool IsDeviceInterfacePathForm(const std::string& path) { return hidraw::IsHidrawNodePath(path); }

bool DescribeUsbDevice(const std::string& path, UsbDeviceFacts& facts) {
    if (!IsDeviceInterfacePathForm(path)) return false;
    // "/dev/hidraw3" is the node of the class device /sys/class/hidraw/hidraw3.
    return hidraw::DescribeUsbDevice(hidraw::SystemRoot() + "/sys/class/hidraw/" + path.substr(5), facts);
}

Handle OpenPath(const std::string& path, uint32_t access, uint32_t, uint32_t) {
    // Only hidraw nodes are opened, whatever path a caller (or the server) names.
    if (!IsDeviceInterfacePathForm(path)) {
        errno = ENOENT;
        return kInvalidHandle;
    }
    int mode = O_RDONLY;  // a query opens for reading: the ioctls need an open node
    if ((access & kGenericRead) && (access & kGenericWrite)) {
        mode = O_RDWR;
    } else if (access & kGenericWrite) {
        mode = O_WRONLY;
    }
    // Reads never block: the reader waits in poll() (with its wake-up descriptor) first.
    if (!(access & kGenericWrite)) mode |= O_NONBLOCK;
    const int fd = open((hidraw::SystemRoot() + path).c_str(), mode | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return kInvalidHandle;
    OpenNode node;
    if (!QueryNode(fd, node)) {
        close(fd);
        errno = EIO;  // not a hidraw node, or a descriptor we refuse: the interface is not served
        return kInvalidHandle;
    }
    std::lock_guard<std::mutex> lock(nodeMutex);
    OpenNodes()[fd] = node;
    return fd;
}

bool AccessRefused(const std::string& path, uint16_t& vendorId, uint16_t& productId) {
    if (errno != EACCES && errno != EPERM) return false;
    return hidraw::NodeIds(path, vendorId, productId);
}

std::string AccessRefusalHint() { return hidraw::RuleHint(); }

void ClosePath(Handle handle) {
    if (handle < 0) return;
    {
        std::lock_guard<std::mutex> lock(nodeMutex);
        OpenNodes().erase(static_cast<int>(handle));
    }
    close(static_cast<int>(handle));
}

bool GetAttributes(Handle handle, Attributes& attributes) {
    OpenNode node;
    if (attributes.size != sizeof(Attributes) || !FindNode(handle, node)) return false;
    attributes = node.attributes;
    return true;
}

bool GetPreparsedData(Handle handle, void*& preparsedData) {
    OpenNode node;
    if (!FindNode(handle, node)) return false;
    PreparsedData* data = new PreparsedData;
    data->magic = kPreparsedMagic;
    data->caps.usagePage = node.summary.usagePage;
    data->caps.usage = node.summary.usage;
    data->caps.inputReportByteLength = node.summary.inputReportByteLength;
    data->caps.outputReportByteLength = node.summary.outputReportByteLength;
    preparsedData = data;
    return true;
}

uint32_t GetCaps(void* preparsedData, Caps& caps) {
    const uint32_t kInvalidPreparsedData = 0xC0110001u;  // HIDP_STATUS_INVALID_PREPARSED_DATA
    const PreparsedData* data = static_cast<const PreparsedData*>(preparsedData);
    if (!data || data->magic != kPreparsedMagic) return kInvalidPreparsedData;
    caps = data->caps;
    return kHidpStatusSuccess;
}

void FreePreparsedData(void* preparsedData) {
    PreparsedData* data = static_cast<PreparsedData*>(preparsedData);
    if (data && data->magic == kPreparsedMagic) {
        data->magic = 0;
        delete data;
    }
}

void* GetClassDevs(const Guid& guid, uint32_t flags) {
    DeviceSet* set = new DeviceSet;
    if (guid == kHidGuid && (flags & kPresentInterfaces) == kPresentInterfaces) set->paths = hidraw::ListHidrawNodes();
    return set;
}

bool EnumDeviceInterface(void* deviceSet, const Guid& guid, uint32_t index, std::string& path) {
    const DeviceSet* set = static_cast<const DeviceSet*>(deviceSet);
    if (!set || !(guid == kHidGuid) || index >= set->paths.size()) return false;
    path = set->paths[index];
    return true;
}

void DestroyDeviceInfoList(void* deviceSet) { delete static_cast<DeviceSet*>(deviceSet); }

long ReadInputReport(Handle handle, char* report, size_t length) {
    OpenNode node;
    if (!FindNode(handle, node)) {
        errno = EBADF;
        return -1;
    }
    return hidraw::ReadReportInWindowsLayout(static_cast<int>(handle), node.summary, report, length);
}

// hidraw takes one whole report per write (O_NONBLOCK does not apply to writes): the call returns
// once the kernel has sent it, or failed (ETIMEDOUT after the USB stack's 5 s for a stalled device).
// The kernel bounds the write (a USB transfer times out after 5 s) and offers no way to cancel it,
// so stop and the timeout are not needed here.
bool WriteOutputReport(Handle handle, const char* report, size_t length, const std::atomic<bool>&, uint32_t) {
    ssize_t written;
    do {
        written = write(static_cast<int>(handle), report, length);
    } while (written < 0 && errno == EINTR);
    return written >= 0 && static_cast<size_t>(written) == length;
}

void CancelOutputReport(Handle) {}

}  // namespace hidseam

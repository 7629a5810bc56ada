#include "ListedHIDInterface.h"

#include "HIDSeam.h"
#include "LowerCase.h"

namespace {
// More HID interfaces than any PC has; a backend that lists on beyond it is not followed.
constexpr uint32_t kMaxListedInterfaces = 1u << 16;
}  // namespace

bool IsListedHIDInterface(const std::string& path) {
    if (!hidseam::IsDeviceInterfacePathForm(path)) return false;
    const std::string wanted = LowerCaseACP(path);
    hidseam::Guid guid;
    hidseam::GetHidGuid(guid);
    void* deviceSet = hidseam::GetClassDevs(guid, hidseam::kPresentInterfaces);
    if (!deviceSet) return false;
    bool listed = false;
    std::string listedPath;
    // Enumeration ends at the first index the backend does not have; an unreadable entry comes
    // back empty and matches nothing.
    for (uint32_t index = 0; !listed && index < kMaxListedInterfaces && hidseam::EnumDeviceInterface(deviceSet, guid, index, listedPath); ++index) {
        listed = !listedPath.empty() && LowerCaseACP(listedPath) == wanted;
    }
    hidseam::DestroyDeviceInfoList(deviceSet);
    return listed;
}

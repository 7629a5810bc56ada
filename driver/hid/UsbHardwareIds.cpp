#include "UsbHardwareIds.h"

#include "AsciiText.h"

namespace hidseam {

namespace {

constexpr size_t kMaxIds = 64;

bool StartsNoCase(const std::string& text, size_t at, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i)
        if (at + i >= text.size() || LowerAscii(text[at + i]) != LowerAscii(prefix[i])) return false;
    return true;
}

// The fields of "USB\A_xx&B_yy&C_zz" after the "USB\" prefix: exactly `digits` hexadecimal
// digits after the field's name (ended by "&" or the id's end).
bool FieldValue(const std::string& id, const char* name, size_t digits, KnownValue& value) {
    if (!StartsNoCase(id, 0, "USB\\")) return false;
    size_t at = 4;
    while (at < id.size()) {
        const size_t end = id.find('&', at) == std::string::npos ? id.size() : id.find('&', at);
        size_t nameLength = 0;
        while (name[nameLength] != '\0') ++nameLength;
        if (StartsNoCase(id, at, name) && end - at == nameLength + digits) {
            uint32_t number = 0;
            if (!ParseHexDigits(id, at + nameLength, end, number)) return false;
            value = Known(static_cast<uint16_t>(number));
            return true;
        }
        at = end + 1;
    }
    return false;
}

}  // namespace

std::vector<std::string> SplitMultiString(const char* block, size_t size) {
    std::vector<std::string> strings;
    size_t at = 0;
    while (block && at < size && block[at] != '\0' && strings.size() < kMaxIds) {
        size_t end = at;
        while (end < size && block[end] != '\0') ++end;
        strings.emplace_back(block + at, end - at);
        at = end + 1;
    }
    return strings;
}

bool IsUsbInterfaceId(const std::string& id) {
    KnownValue number;
    return FieldValue(id, "MI_", 2, number);
}

bool ReadUsbDeviceIds(const std::vector<std::string>& ids, UsbDeviceFacts& facts) {
    bool usb = false;
    for (const std::string& id : ids) {
        KnownValue vendor, product, release;
        if (!FieldValue(id, "VID_", 4, vendor) || !FieldValue(id, "PID_", 4, product)) continue;
        if (!usb) {
            facts.vendorID = vendor;
            facts.productID = product;
        }
        usb = true;
        if (!facts.release.known && FieldValue(id, "REV_", 4, release)) facts.release = release;
    }
    return usb;
}

UsbInterfaceClass ReadUsbClassIds(const std::vector<std::string>& ids) {
    UsbInterfaceClass best;
    int bestCount = 0;
    for (const std::string& id : ids) {
        UsbInterfaceClass one;
        if (!FieldValue(id, "CLASS_", 2, one.usbClass)) continue;
        FieldValue(id, "SUBCLASS_", 2, one.subClass);
        FieldValue(id, "PROT_", 2, one.protocol);
        const int count = 1 + (one.subClass.known ? 1 : 0) + (one.protocol.known ? 1 : 0);
        if (count > bestCount) {
            best = one;
            bestCount = count;
        }
    }
    return best;
}

}  // namespace hidseam

// Fuzz target: the channel's record codec, reading bytes of any content.
//
// Input: byte 0 picks the record (0 a descriptor list, 1 an LED setting list, 2 one descriptor,
// 3 one LED setting); the rest are the bytes to read. The driver's codec reads them from a memory
// stream as the dispatcher reads a message body.
//
// Besides crashes it checks the read against the server side's own reader of the same wire format
// (tools/server_proxy, written separately): both accept the same bytes, read the same values and
// consume the same number of bytes. An accepted record written back by the driver's codec gives
// the bytes it was read from, unless a string held a zero byte (which ends the value on reading).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <vector>

#include "MemoryStream.h"
#include "RecordCodec.h"
#include "WireFields.h"

namespace {

using ServerProxy::wire::Bytes;
using ServerProxy::wire::Reader;

// Values compared by their bytes in the wire format, written by the server side's writer.
Bytes Encoded(const std::vector<USBButtonDeviceDescriptor>& list) {
    Bytes bytes;
    for (const USBButtonDeviceDescriptor& d : list) ServerProxy::wire::PutDescriptor(bytes, d);
    return bytes;
}
Bytes Encoded(const std::vector<LEDSetting>& list) {
    Bytes bytes;
    for (const LEDSetting& setting : list) ServerProxy::wire::PutLEDSetting(bytes, setting);
    return bytes;
}
Bytes Encoded(const USBButtonDeviceDescriptor& d) { return Encoded(std::vector<USBButtonDeviceDescriptor>{d}); }
Bytes Encoded(const LEDSetting& setting) { return Encoded(std::vector<LEDSetting>{setting}); }

void Check(bool condition) {
    if (!condition) std::abort();
}

// Compares the driver's read (ok, value, bytes left) with the server side's, and writes an
// accepted value back.
template <class T, class Write>
void Compare(bool ok, const T& value, const CMemoryStream& stream, bool otherOk, const T& other,
             const Reader& reader, const uint8_t* data, size_t size, Write write) {
    Check(ok == otherOk);
    if (!ok) return;
    Check(Encoded(value) == Encoded(other));  // every element's bytes mark where it ends
    Check(stream.GetSize() == reader.Left());
    const size_t consumed = size - reader.Left();
    CMemoryStream out;
    Check(write(out, value));
    if (out.GetSize() == consumed) {
        for (size_t i = 0; i < consumed; ++i) Check(out.GetData()[i] == data[i]);
    } else {
        Check(out.GetSize() < consumed);  // a string lost the bytes from its zero on
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t inputSize) {
    if (inputSize == 0 || inputSize > 1 << 20) return 0;
    const uint8_t* data = input + 1;
    const size_t size = inputSize - 1;
    CMemoryStream stream;
    stream.Attach(data, static_cast<uint32_t>(size));
    Reader reader(data, size);
    switch (input[0] % 4) {
    case 0: {
        std::vector<USBButtonDeviceDescriptor> list, other;
        const bool ok = ReadDescriptorList(stream, list);
        const bool otherOk = reader.GetDescriptorList(other);
        Compare(ok, list, stream, otherOk, other, reader, data, size,
                [](CMemoryStream& out, const std::vector<USBButtonDeviceDescriptor>& v) {
                    return WriteDescriptorList(out, v);
                });
        break;
    }
    case 1: {
        std::vector<LEDSetting> list, other;
        const bool ok = ReadLEDSettingList(stream, list);
        const bool otherOk = reader.GetLEDSettingList(other);
        Compare(ok, list, stream, otherOk, other, reader, data, size,
                [](CMemoryStream& out, const std::vector<LEDSetting>& v) { return WriteLEDSettingList(out, v); });
        break;
    }
    case 2: {
        USBButtonDeviceDescriptor descriptor, other;
        const bool ok = ReadDeviceDescriptor(stream, descriptor);
        const bool otherOk = reader.GetDescriptor(other);
        Compare(ok, descriptor, stream, otherOk, other, reader, data, size, WriteDeviceDescriptor);
        break;
    }
    default: {
        LEDSetting setting, other;
        const bool ok = ReadLEDSetting(stream, setting);
        const bool otherOk = reader.GetLEDSetting(other);
        Compare(ok, setting, stream, otherOk, other, reader, data, size, WriteLEDSetting);
        break;
    }
    }
    return 0;
}

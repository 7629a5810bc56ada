#include "StreamCodec.h"

#include <algorithm>
#include <limits>

namespace {

template <size_t N>
bool WriteLittleEndian(std::ostream& stream, uint64_t value) {
    char bytes[N];
    for (size_t i = 0; i < N; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    stream.write(bytes, N);
    return stream.good();
}

// The destination's current value is laid out first, so that a short read replaces only its
// lowest bytes, as reading straight into a little-endian integer would.
template <size_t N, class T>
bool ReadLittleEndian(std::istream& stream, T& value) {
    using Unsigned = typename std::make_unsigned<T>::type;
    const uint64_t old = static_cast<Unsigned>(value);
    unsigned char bytes[N];
    for (size_t i = 0; i < N; ++i) {
        bytes[i] = static_cast<unsigned char>((old >> (8 * i)) & 0xFF);
    }
    stream.read(reinterpret_cast<char*>(bytes), N);
    uint64_t result = 0;
    for (size_t i = 0; i < N; ++i) {
        result |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    }
    value = static_cast<T>(static_cast<Unsigned>(result));
    return stream.good();
}

bool WriteLength(std::ostream& stream, size_t length) {
    if (length > std::numeric_limits<uint32_t>::max()) {
        stream.setstate(std::ios_base::badbit);  // not representable on the wire
        return false;
    }
    return WriteUInt32(stream, static_cast<uint32_t>(length));
}

// Reads a 32-bit length of elements of elementSize bytes and checks that the remaining bytes
// carry them. On success the elements start at the read position.
bool ReadCarriedLength(CMemoryStream& stream, uint32_t elementSize, uint32_t& length) {
    uint32_t value = 0;
    if (!ReadUInt32(stream, value)) {
        return false;
    }
    if (static_cast<uint64_t>(value) * elementSize > stream.GetSize()) {
        MarkReadPastEnd(stream);
        return false;
    }
    length = value;
    return true;
}

void Skip(CMemoryStream& stream, uint64_t bytes) {
    // The caller checked that the bytes are readable, so this moves within the readable range.
    stream.rdbuf()->pubseekoff(static_cast<std::streamoff>(bytes), std::ios_base::cur, std::ios_base::in);
}

uint16_t UnitAt(const uint8_t* data, uint32_t index) {
    return static_cast<uint16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

}  // namespace

void MarkReadPastEnd(std::istream& stream) {
    stream.setstate(std::ios_base::eofbit | std::ios_base::failbit);
}

bool WriteUInt8(std::ostream& stream, uint8_t value) { return WriteLittleEndian<1>(stream, value); }
bool WriteUInt16(std::ostream& stream, uint16_t value) { return WriteLittleEndian<2>(stream, value); }
bool WriteUInt32(std::ostream& stream, uint32_t value) { return WriteLittleEndian<4>(stream, value); }
bool WriteInt32(std::ostream& stream, int32_t value) {
    return WriteLittleEndian<4>(stream, static_cast<uint32_t>(value));
}
bool WriteUInt64(std::ostream& stream, uint64_t value) { return WriteLittleEndian<8>(stream, value); }
bool WriteInt64(std::ostream& stream, int64_t value) {
    return WriteLittleEndian<8>(stream, static_cast<uint64_t>(value));
}
bool WriteHandle(std::ostream& stream, ObjectHandle value) { return WriteLittleEndian<4>(stream, value); }

bool WriteString(std::ostream& stream, const std::string& value) {
    if (!WriteLength(stream, value.size())) {
        return false;
    }
    stream.write(value.data(), static_cast<std::streamsize>(value.size()));
    return stream.good();
}

bool WriteWideString(std::ostream& stream, const std::u16string& value) {
    if (!WriteLength(stream, value.size())) {
        return false;
    }
    return WriteWideText(stream, value);
}

bool WriteByteVector(std::ostream& stream, const std::vector<uint8_t>& value) {
    if (!WriteLength(stream, value.size())) {
        return false;
    }
    stream.write(reinterpret_cast<const char*>(value.data()), static_cast<std::streamsize>(value.size()));
    return stream.good();
}

bool WriteWideText(std::ostream& stream, const std::u16string& value) {
    for (char16_t unit : value) {
        if (!WriteUInt16(stream, static_cast<uint16_t>(unit))) {
            return false;
        }
    }
    return stream.good();
}

bool ReadUInt8(std::istream& stream, uint8_t& value) { return ReadLittleEndian<1>(stream, value); }
bool ReadUInt16(std::istream& stream, uint16_t& value) { return ReadLittleEndian<2>(stream, value); }
bool ReadUInt32(std::istream& stream, uint32_t& value) { return ReadLittleEndian<4>(stream, value); }
bool ReadInt32(std::istream& stream, int32_t& value) { return ReadLittleEndian<4>(stream, value); }
bool ReadUInt64(std::istream& stream, uint64_t& value) { return ReadLittleEndian<8>(stream, value); }
bool ReadInt64(std::istream& stream, int64_t& value) { return ReadLittleEndian<8>(stream, value); }
bool ReadHandle(std::istream& stream, ObjectHandle& value) { return ReadLittleEndian<4>(stream, value); }

bool ReadString(CMemoryStream& stream, std::string& value) {
    uint32_t length = 0;
    if (!ReadCarriedLength(stream, 1, length)) {
        return false;
    }
    // The bytes are taken in place; the value ends at the first zero byte, all N are consumed.
    const char* const begin = reinterpret_cast<const char*>(stream.GetData());
    value.assign(begin, std::find(begin, begin + length, '\0'));
    Skip(stream, length);
    return stream.good();
}

bool ReadWideString(CMemoryStream& stream, std::u16string& value) {
    uint32_t count = 0;
    if (!ReadCarriedLength(stream, 2, count)) {
        return false;
    }
    const uint8_t* const data = stream.GetData();
    uint32_t end = 0;
    while (end < count && UnitAt(data, end) != 0) {
        ++end;
    }
    value.resize(end);
    for (uint32_t i = 0; i < end; ++i) {
        value[i] = static_cast<char16_t>(UnitAt(data, i));
    }
    Skip(stream, static_cast<uint64_t>(count) * 2);
    return stream.good();
}

bool ReadByteVector(CMemoryStream& stream, std::vector<uint8_t>& value) {
    uint32_t length = 0;
    if (!ReadCarriedLength(stream, 1, length)) {
        return false;
    }
    const uint8_t* const begin = stream.GetData();
    value.assign(begin, begin + length);
    Skip(stream, length);
    return stream.good();
}

bool ReadWideLine(CMemoryStream& stream, std::u16string& value) {
    if (!stream.good()) {
        return false;
    }
    std::u16string line;
    for (;;) {
        uint16_t unit = 0;
        if (stream.GetSize() < 2) {
            // The line ends with the stream; an odd last byte is consumed with the failed read.
            char rest[1];
            stream.read(rest, 1);
            MarkReadPastEnd(stream);
            break;
        }
        ReadUInt16(stream, unit);
        if (unit == u'\r' && stream.GetSize() >= 2 && UnitAt(stream.GetData(), 0) == u'\n') {
            Skip(stream, 2);
            value.swap(line);
            return stream.good();
        }
        line.push_back(static_cast<char16_t>(unit));
    }
    value.swap(line);
    return false;
}

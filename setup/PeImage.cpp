#include "PeImage.h"

#include <fstream>

namespace installer {

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNewHeaderOffsetField = 0x3C;
// Signature "PE\0\0", the file header (20 bytes) and the optional header's format field (2 bytes).
constexpr size_t kPeHeadersSize = 4 + 20 + 2;
// A real image puts its PE header within the first few kilobytes; a larger offset is a damaged
// or foreign file, and bounds what is read.
constexpr uint32_t kMaxNewHeaderOffset = 64 * 1024;
constexpr uint16_t kDllFlag = 0x2000;  // IMAGE_FILE_DLL

uint16_t Word(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t DWord(const std::string& bytes, size_t at) {
    return static_cast<uint32_t>(Word(bytes, at)) | static_cast<uint32_t>(Word(bytes, at + 2)) << 16;
}

uint16_t OptionalHeaderFormat(uint16_t machine) { return machine == 0x8664 ? 0x20B : 0x10B; }

// The offset of the PE signature in an image's first bytes, 0 when they are no PE image.
uint32_t PeHeaderOffset(const std::string& bytes) {
    if (bytes.size() < kDosHeaderSize || bytes[0] != 'M' || bytes[1] != 'Z') return 0;
    const uint32_t offset = DWord(bytes, kNewHeaderOffsetField);
    if (offset < kDosHeaderSize || offset > kMaxNewHeaderOffset || bytes.size() < offset + kPeHeadersSize) return 0;
    return bytes.compare(offset, 4, std::string("PE\0\0", 4)) == 0 ? offset : 0;
}

// The file's first bytes up to the end of the headers checked here (fewer for a short file).
std::string ReadHeaders(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(kDosHeaderSize, '\0');
    if (!file || !file.read(&bytes[0], kDosHeaderSize)) return std::string();
    const uint32_t offset = DWord(bytes, kNewHeaderOffsetField);
    if (offset < kDosHeaderSize || offset > kMaxNewHeaderOffset) return std::string();
    bytes.resize(offset + kPeHeadersSize);
    file.read(&bytes[kDosHeaderSize], static_cast<std::streamsize>(bytes.size() - kDosHeaderSize));
    bytes.resize(kDosHeaderSize + static_cast<size_t>(file.gcount()));
    return bytes;
}

}  // namespace

bool IsDllImageForMachine(const std::string& bytes, uint16_t machine) {
    const uint32_t offset = PeHeaderOffset(bytes);
    if (offset == 0) return false;
    const size_t fileHeader = offset + 4;
    const uint16_t imageMachine = Word(bytes, fileHeader);
    const uint16_t optionalHeaderSize = Word(bytes, fileHeader + 16);
    const uint16_t characteristics = Word(bytes, fileHeader + 18);
    return imageMachine == machine && (characteristics & kDllFlag) != 0 && optionalHeaderSize >= 2 &&
           Word(bytes, fileHeader + 20) == OptionalHeaderFormat(machine);
}

bool IsDllForMachine(const std::string& path, uint16_t machine) {
    return IsDllImageForMachine(ReadHeaders(path), machine);
}

uint16_t PeImageMachine(const std::string& path) {
    const std::string bytes = ReadHeaders(path);
    const uint32_t offset = PeHeaderOffset(bytes);
    return offset == 0 ? 0 : Word(bytes, offset + 4);
}

}  // namespace installer

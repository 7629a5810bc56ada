#include "MemoryStream.h"

#include <limits>

namespace {
constexpr uint32_t kMaxBlockSize = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
}

CMemoryStream::CMemoryStream()
    : std::basic_iostream<char>(nullptr), buffer(std::make_unique<CMemoryStreamBuffer>(kGrowStep)) {
    rdbuf(buffer.get());  // also clears the state: the stream starts good and empty
}

CMemoryStream::~CMemoryStream() {
    rdbuf(nullptr);
}

void CMemoryStream::Attach(const void* data, uint32_t size) {
    if (size > kMaxBlockSize) {
        buffer->Attach(nullptr, 0);
        setstate(std::ios_base::failbit);
        return;
    }
    buffer->Attach(static_cast<const char*>(data), static_cast<int32_t>(size));
}

void CMemoryStream::SetContent(const void* data, uint32_t size) {
    clear();
    if (size > kMaxBlockSize) {
        buffer->Reset();
        setstate(std::ios_base::failbit);
        return;
    }
    buffer->SetContentByCopy(static_cast<const char*>(data), static_cast<int32_t>(size));
}

bool CMemoryStream::Clear() {
    SetContent(nullptr, 0);
    clear();
    return true;
}

void CMemoryStream::Reset() {
    clear();
    buffer->Reset();
}

void CMemoryStream::RemoveByte(uint8_t byte) {
    buffer->RemoveByte(static_cast<char>(byte));
}

const uint8_t* CMemoryStream::GetData() const {
    return reinterpret_cast<const uint8_t*>(buffer->ReadPosition());
}

uint32_t CMemoryStream::GetSize() const {
    return static_cast<uint32_t>(buffer->ReadableSize());
}

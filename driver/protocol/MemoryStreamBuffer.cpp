#include "MemoryStreamBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

CMemoryStreamBuffer::CMemoryStreamBuffer(int32_t growStep) : growStep(growStep < 1 ? 1 : growStep) {
    Reset();
}

CMemoryStreamBuffer::CMemoryStreamBuffer(const CMemoryStreamBuffer& other)
    : std::basic_streambuf<char>(other),
      growStep(other.growStep),
      storage(other.storage),
      attached(other.attached),
      attachedData(other.attachedData),
      attachedSize(other.attachedSize) {
    if (attached) {
        return;  // the copied pointers already point into the shared external block
    }
    // The copied pointers point into the other buffer's storage: move them to the same offsets in ours.
    char* const otherBase = const_cast<char*>(other.storage.data());
    char* const base = storage.data();
    setg(base + (other.eback() - otherBase), base + (other.gptr() - otherBase),
         base + (other.egptr() - otherBase));
    setp(base + (other.pbase() - otherBase), base + (other.epptr() - otherBase));
    pbump(static_cast<int>(other.pptr() - other.pbase()));
}

CMemoryStreamBuffer::~CMemoryStreamBuffer() = default;

char* CMemoryStreamBuffer::Base() const {
    return attached ? attachedData : const_cast<char*>(storage.data());
}

void CMemoryStreamBuffer::LeaveAttachedMode() {
    attached = false;
    attachedData = nullptr;
    attachedSize = 0;
}

void CMemoryStreamBuffer::Reset() {
    LeaveAttachedMode();
    storage.resize(static_cast<size_t>(growStep));
    char* const base = storage.data();
    setp(base, base + storage.size());
    setg(base, base, base);
}

void CMemoryStreamBuffer::SetContentByCopy(const char* data, int32_t size) {
    if (size <= 0 || data == nullptr) {
        Reset();
        return;
    }
    const char* const begin = storage.data();
    if (data >= begin && data < begin + storage.size()) {
        // Part of our own content: move it to the front before cutting the rest away.
        std::memmove(storage.data(), data, static_cast<size_t>(size));
        storage.resize(static_cast<size_t>(size));
    } else {
        storage.assign(data, data + size);
    }
    char* const base = storage.data();
    setp(base, base + size);
    pbump(size);
    setg(base, base, base + size);
    LeaveAttachedMode();
}

void CMemoryStreamBuffer::Attach(const char* data, int32_t size) {
    if (data == nullptr || size < 0) {
        size = 0;
    }
    attached = true;
    // The put area has no room, so nothing is ever written through this pointer: the first
    // write copies the block (overflow).
    attachedData = const_cast<char*>(data);
    attachedSize = size;
    setp(attachedData, attachedData + size);
    pbump(size);
    setg(attachedData, attachedData, attachedData + size);
}

void CMemoryStreamBuffer::RemoveByte(char c) {
    if (attached) {
        return;
    }
    const auto contentEnd = storage.begin() + (pptr() - pbase());
    storage.erase(std::remove(storage.begin(), contentEnd, c), storage.end());
    char* const base = storage.data();
    const int size = static_cast<int>(storage.size());
    setp(base, base + size);
    pbump(size);
    setg(base, base, base + size);
}

int32_t CMemoryStreamBuffer::ReadableSize() const {
    const auto size = pptr() - gptr();
    return size > 0 ? static_cast<int32_t>(size) : 0;
}

void CMemoryStreamBuffer::ExtendGetAreaToWritePosition() {
    char* const base = Base();
    const auto writeOffset = pptr() - pbase();
    auto readOffset = gptr() - eback();
    // An output seek may have put the write position before the read position; reading then
    // resumes at the write position, so nothing beyond the written bytes is ever read.
    if (readOffset > writeOffset) {
        readOffset = writeOffset;
    }
    setg(base, base + readOffset, base + writeOffset);
}

CMemoryStreamBuffer::int_type CMemoryStreamBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);  // a flush request: nothing is buffered elsewhere
    }
    const auto readOffset = gptr() - eback();
    if (attached) {
        // The external block is never written: copy it, then append.
        const int32_t size = attachedSize;
        SetContentByCopy(attachedData, size);
        char* const base = storage.data();
        setg(base, base + std::min<std::ptrdiff_t>(readOffset, size), base + size);
    }
    if (pptr() < epptr()) {
        // Only after copying an empty attached block: the fresh block has room at its start.
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        ExtendGetAreaToWritePosition();
        return 0;
    }
    const size_t oldSize = storage.size();
    if (oldSize > static_cast<size_t>(std::numeric_limits<int32_t>::max() - growStep)) {
        throw std::bad_alloc();  // positions are 32-bit; the standard write turns this into badbit
    }
    storage.resize(oldSize + static_cast<size_t>(growStep));
    storage[oldSize] = traits_type::to_char_type(c);
    char* const base = storage.data();
    setp(base, base + storage.size());
    pbump(static_cast<int>(oldSize + 1));
    setg(base, base + readOffset, pptr());
    return 0;
}

CMemoryStreamBuffer::int_type CMemoryStreamBuffer::underflow() {
    ExtendGetAreaToWritePosition();
    if (gptr() == egptr()) {
        return traits_type::eof();
    }
    return traits_type::to_int_type(*gptr());
}

CMemoryStreamBuffer::pos_type CMemoryStreamBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                           std::ios_base::openmode which) {
    const pos_type invalid = pos_type(off_type(-1));
    pos_type result = pos_type(off_type(0));
    if (which & std::ios_base::in) {
        ExtendGetAreaToWritePosition();
        off_type baseOffset = 0;
        if (direction == std::ios_base::beg) {
            baseOffset = 0;
        } else if (direction == std::ios_base::cur) {
            baseOffset = gptr() - eback();
        } else if (direction == std::ios_base::end) {
            baseOffset = egptr() - eback();
        } else {
            return invalid;
        }
        const off_type newOffset = baseOffset + offset;
        if (newOffset < 0 || newOffset > egptr() - eback()) {
            return invalid;
        }
        setg(eback(), eback() + newOffset, egptr());
        result = pos_type(newOffset);
    }
    if (which & std::ios_base::out) {
        if (pptr() > epptr()) {
            return invalid;
        }
        off_type baseOffset = 0;
        if (direction == std::ios_base::beg) {
            baseOffset = 0;
        } else if (direction == std::ios_base::cur) {
            baseOffset = pptr() - pbase();
        } else if (direction == std::ios_base::end) {
            baseOffset = epptr() - pbase();  // the end of the room, not the last byte written
        } else {
            return invalid;
        }
        const off_type newOffset = baseOffset + offset;
        if (newOffset < 0 || newOffset > epptr() - pbase()) {
            return invalid;
        }
        // The write position of an attached block stays after its last byte: moving it would let
        // the next write go into the caller's block instead of copying it first.
        if (attached && newOffset != pptr() - pbase()) {
            return invalid;
        }
        char* const begin = pbase();
        char* const end = epptr();
        setp(begin, end);
        pbump(static_cast<int>(newOffset));
        // The readable bytes end at the new write position.
        ExtendGetAreaToWritePosition();
        result = pos_type(newOffset);
    }
    return result;
}

int CMemoryStreamBuffer::sync() {
    return 0;
}

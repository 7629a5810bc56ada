// An input/output stream of bytes in memory, in which channel messages are built and read.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>

#include "MemoryStreamBuffer.h"

// Written bytes accumulate in an own block (10000 bytes at first, growing by 10000); a received
// message is read in place through Attach without copying it. Read and write it with the standard
// unformatted read and write. No exception mask is set: a failed read or an allocation failure
// during a write only sets the stream's state.
class CMemoryStream : public std::basic_iostream<char> {
public:
    static constexpr int32_t kGrowStep = 10000;

    CMemoryStream();
    CMemoryStream(const CMemoryStream&) = delete;
    CMemoryStream& operator=(const CMemoryStream&) = delete;
    ~CMemoryStream() override;

    // Reads the size bytes at data in place; the caller keeps them alive and unchanged while the
    // stream uses them. The error state is not cleared. A size above 2^31 - 1 attaches nothing and
    // marks the stream failed.
    void Attach(const void* data, uint32_t size);
    // Clears the error state, then copies the bytes into the own block (0 bytes: Reset of the
    // buffer). A size above 2^31 - 1 copies nothing and marks the stream failed.
    void SetContent(const void* data, uint32_t size);
    // SetContent with no bytes, then clears the error state. Returns true.
    bool Clear();
    // Clears the error state, then resets the buffer to an empty 10000-byte block.
    void Reset();
    // Removes every occurrence of the byte from the own content; no effect while attached.
    void RemoveByte(uint8_t byte);

    // The byte at the read position.
    const uint8_t* GetData() const;
    // Bytes from the read position to the write position: for a stream that was only written, all
    // bytes written; for an attached stream, the bytes not read yet.
    uint32_t GetSize() const;

    CMemoryStreamBuffer& GetBuffer() { return *buffer; }
    const CMemoryStreamBuffer& GetBuffer() const { return *buffer; }

private:
    std::unique_ptr<CMemoryStreamBuffer> buffer;
};

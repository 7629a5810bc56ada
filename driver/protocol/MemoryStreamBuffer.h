// Stream buffer of a memory stream: either a growable block of its own or an external block read
// in place.
#pragma once

#include <cstdint>
#include <streambuf>
#include <vector>

// Own mode: the bytes live in `storage`, which grows by `growStep` bytes whenever a write finds no
// room. Attached mode: the get area is a caller's block, read in place and never written; the first
// write copies the block into `storage` and appends there.
//
// In every state the readable bytes end at the write position, so a stream that was only written
// yields exactly the bytes written, and an attached stream yields exactly its block.
//
// Not thread-safe: one stream is used by one thread at a time.
class CMemoryStreamBuffer : public std::basic_streambuf<char> {
public:
    // A growStep below 1 is taken as 1 (a growth by 0 bytes would have no room for the byte).
    explicit CMemoryStreamBuffer(int32_t growStep);
    // Copies the other buffer's bytes and positions. An attached buffer's copy reads the same
    // external block (which the caller keeps alive).
    CMemoryStreamBuffer(const CMemoryStreamBuffer& other);
    CMemoryStreamBuffer& operator=(const CMemoryStreamBuffer&) = delete;
    ~CMemoryStreamBuffer() override;

    // Leaves attached mode; `storage` becomes `growStep` bytes; nothing to read; writes start at
    // the beginning of `storage`.
    void Reset();
    // Copies size bytes into `storage` (which then holds exactly them): readable from the start,
    // writes append after them. size 0 is Reset(). data may point into the current content.
    void SetContentByCopy(const char* data, int32_t size);
    // Reads the block in place: readable from its start, the write position after its last byte.
    void Attach(const char* data, int32_t size);
    // Removes every occurrence of c from the own content (the bytes before the write position);
    // `storage` is cut to the rest. No effect while attached.
    void RemoveByte(char c);

    int32_t GetGrowStep() const { return growStep; }
    const std::vector<char>& GetStorage() const { return storage; }
    bool IsAttached() const { return attached; }
    const char* GetAttachedData() const { return attachedData; }
    int32_t GetAttachedSize() const { return attachedSize; }

    // Byte at the read position.
    const char* ReadPosition() const { return gptr(); }
    // Bytes from the read position to the write position (0 when the write position was moved
    // before the read position).
    int32_t ReadableSize() const;

protected:
    int_type overflow(int_type c) override;
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    int sync() override;

private:
    // Start of the bytes of the current mode.
    char* Base() const;
    // Get area from Base() to the write position, keeping the read position.
    void ExtendGetAreaToWritePosition();
    void LeaveAttachedMode();

    const int32_t growStep;
    std::vector<char> storage;
    bool attached = false;
    char* attachedData = nullptr;  // not owned; never written through
    int32_t attachedSize = 0;
};

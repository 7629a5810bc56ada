// The binary field codec of the channel: little-endian fixed-size values, length-prefixed strings
// and byte vectors, UTF-16 strings and lines.
//
// Every write puts the encoding into the stream and returns whether the stream is still good.
// Every read takes the encoding from the stream into the destination and returns whether the
// stream is still good.
//
// A fixed-size read that runs past the end of the readable bytes stores the bytes still available
// into the first (lowest) bytes of the destination, keeps the rest of its previous value and
// leaves the stream failed; every later read on it fails and stores nothing.
//
// A length or count that the remaining bytes (read position to end of readable data) cannot carry
// fails the read at once without allocating for it: the stream is marked failed as by a read past
// the end, nothing more is consumed and the destination keeps its previous value.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "MemoryStream.h"
#include "MessageType.h"

bool WriteUInt8(std::ostream& stream, uint8_t value);
bool WriteUInt16(std::ostream& stream, uint16_t value);
bool WriteUInt32(std::ostream& stream, uint32_t value);
bool WriteInt32(std::ostream& stream, int32_t value);
bool WriteUInt64(std::ostream& stream, uint64_t value);
bool WriteInt64(std::ostream& stream, int64_t value);
bool WriteHandle(std::ostream& stream, ObjectHandle value);
// 32-bit length N (size in bytes), then the N bytes; no terminator.
bool WriteString(std::ostream& stream, const std::string& value);
// 32-bit count N of UTF-16 code units, then 2N bytes; no terminator.
bool WriteWideString(std::ostream& stream, const std::u16string& value);
// 32-bit length N, then the N bytes.
bool WriteByteVector(std::ostream& stream, const std::vector<uint8_t>& value);
// 2N bytes of UTF-16 code units, no length.
bool WriteWideText(std::ostream& stream, const std::u16string& value);

bool ReadUInt8(std::istream& stream, uint8_t& value);
bool ReadUInt16(std::istream& stream, uint16_t& value);
bool ReadUInt32(std::istream& stream, uint32_t& value);
bool ReadInt32(std::istream& stream, int32_t& value);
bool ReadUInt64(std::istream& stream, uint64_t& value);
bool ReadInt64(std::istream& stream, int64_t& value);
bool ReadHandle(std::istream& stream, ObjectHandle& value);
// Consumes the length and all N bytes; the value ends at the first zero byte among them.
bool ReadString(CMemoryStream& stream, std::string& value);
// Consumes the count and all N code units; the value ends at the first zero code unit.
bool ReadWideString(CMemoryStream& stream, std::u16string& value);
// Consumes the length and the N bytes, zero bytes included.
bool ReadByteVector(CMemoryStream& stream, std::vector<uint8_t>& value);
// UTF-16 code units up to the pair CR LF, which is consumed and not stored; a CR not followed by
// LF is kept. A line that ends with the stream (no CR LF) is stored and the result is false,
// since the stream hit its end; an odd last byte is dropped.
bool ReadWideLine(CMemoryStream& stream, std::u16string& value);

// Marks the stream failed as a read past its end does.
void MarkReadPastEnd(std::istream& stream);

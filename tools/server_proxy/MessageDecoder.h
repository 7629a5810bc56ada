// Decodes channel messages strictly, as the server side must: a message has to be exactly its
// fields (no missing and no extra bytes), its code has to be one the sending side uses, and every
// length and count has to fit in the message. Malformed input is rejected with a reason; nothing
// is allocated for lengths or counts the bytes cannot carry.
#pragma once

#include <cstddef>
#include <string>

#include "ServerMessage.h"

namespace ServerProxy {

// On success fills message and returns true. On failure returns false with a one-line reason in
// error; message then holds whatever was decoded before the fault and should not be used.
bool DecodeMessage(Direction sender, const uint8_t* data, size_t size, ChannelMessage& message, std::string& error);

// A reply or event the client sent (codes 2, 4, 6, 7, 8, 10, ..., 20, 21).
inline bool DecodeClientMessage(const Bytes& bytes, ChannelMessage& message, std::string& error) {
    return DecodeMessage(Direction::ClientToServer, bytes.data(), bytes.size(), message, error);
}
// A command of the server (odd codes 1 to 19 but 7).
inline bool DecodeServerMessage(const Bytes& bytes, ChannelMessage& message, std::string& error) {
    return DecodeMessage(Direction::ServerToClient, bytes.data(), bytes.size(), message, error);
}

}  // namespace ServerProxy

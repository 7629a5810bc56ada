#include "RecordingClient.h"

#include <stdexcept>
#include <string>

namespace channeltest {

namespace {
struct UnknownThing {
    int value;
};
}  // namespace

int CRecordingClient::OnDataReceived(const uint8_t* data, uint16_t size) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(ReceivedBlock{data, std::vector<uint8_t>(data, data + size)});
    }
    switch (receiveThrow.load()) {
        case Throw::Nothing:
            break;
        case Throw::String:
            throw std::string("no such object");
        case Throw::Int:
            throw 42;
        case Throw::StdException:
            throw std::runtime_error("stream ended early");
        case Throw::CString:
            throw "plain text";
        case Throw::Unknown:
            throw UnknownThing{7};
    }
    return receiveResult;
}

void CRecordingClient::OnPoll() {
    ++polls;
    if (pollThrows) throw std::string("poll failed");
}

void CRecordingClient::Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    received.clear();
    receiveThrow = Throw::Nothing;
    pollThrows = false;
    receiveResult = 0;
    polls = 0;
}

std::vector<ReceivedBlock> CRecordingClient::Received() {
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

CRecordingClient& TestClient() {
    static CRecordingClient client;
    return client;
}

// Bound before main, like the module's static client at library load.
const bool kClientBound = (TestClient(), true);

}  // namespace channeltest

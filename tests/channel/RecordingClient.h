// The channel client of the unit test program: it records every block and poll, and can be told
// to throw from OnDataReceived or OnPoll. Bound to "TovUSB" at program start, as the module's
// client is at library load.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "CitrixClient.h"

namespace channeltest {

enum class Throw { Nothing, String, Int, StdException, CString, Unknown };

struct ReceivedBlock {
    const uint8_t* buffer;
    std::vector<uint8_t> data;
};

class CRecordingClient : public CCitrixClient {
public:
    CRecordingClient() : CCitrixClient("TovUSB") {}

    // Engine thread.
    int OnDataReceived(const uint8_t* data, uint16_t size) override;
    void OnPoll() override;

    // Test thread; the engine thread must be idle (between RunOnEngine calls) or stopped.
    void Reset();
    void ThrowOnReceive(Throw kind) { receiveThrow = kind; }
    void ThrowOnPoll(bool on) { pollThrows = on; }
    void ReturnFromReceive(int rc) { receiveResult = rc; }
    std::vector<ReceivedBlock> Received();
    int Polls() const { return polls; }

private:
    std::mutex mutex;  // guards received
    std::vector<ReceivedBlock> received;
    std::atomic<Throw> receiveThrow{Throw::Nothing};
    std::atomic<bool> pollThrows{false};
    std::atomic<int> receiveResult{0};
    std::atomic<int> polls{0};
};

// The program's one bound client.
CRecordingClient& TestClient();

}  // namespace channeltest

#include <exception>
#include <string>

#include "ChannelTrace.h"
#include "CitrixClient.h"
#include "CitrixClientData.h"
#include "CitrixClientOperations.h"
#include "FormatString.h"

namespace {

// Traces an exception that left the client; tracing itself must not throw out of the hook.
void TraceEscapedException(const char* kind, const std::string& what) {
    try {
        TraceClientError(FormatString("OnDataReceived threw %s: %s", kind, what.c_str()));
    } catch (...) {
    }
}

}  // namespace

int TOV_ICA_CALL ChannelDataArrival(void*, uint16_t, uint8_t* buffer, uint16_t length) {
    // No exception may reach the WD: whatever the client throws is traced and the block counts as
    // handled (0, the interface's success code).
    try {
        TraceClient(FormatString("Data received from server with %i bytes", static_cast<int>(length)));
        CCitrixClient* const client = CCitrixClientData::Instance().client;
        if (!client) return ica::kStatusSuccess;
        return client->OnDataReceived(buffer, length);
    } catch (const std::string& text) {
        TraceEscapedException("std::string", text);
    } catch (int value) {
        TraceEscapedException("int", std::to_string(value));
    } catch (const std::exception& e) {
        TraceEscapedException("std::exception", e.what() ? e.what() : "");
    } catch (const char* text) {
        TraceEscapedException("const char*", text ? text : "");
    } catch (...) {
        TraceEscapedException("an exception", "of unknown type");
    }
    return ica::kStatusSuccess;
}

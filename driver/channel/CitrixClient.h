// The application object bound to the virtual channel: it receives every block the server sends
// and is called at every poll. The process has exactly one.
#pragma once

#include <cstdint>
#include <string>

class CCitrixClient {
public:
    // Binds this object to the channel `channelName` in the process-wide channel state. Throws the
    // int 1 if a client is bound already (the state then stays as it was).
    explicit CCitrixClient(const std::string& channelName);

    // One block received from the server, whole and unchanged. Engine thread (inside the write
    // hook); the result goes back to the WD. May throw: the write hook contains every exception.
    virtual int OnDataReceived(const uint8_t* data, uint16_t size) = 0;

    // Called at every poll, on the engine thread, before anything is sent.
    virtual void OnPoll() = 0;

    // The ICA Client unloads the driver (VdUnload, engine thread): the client releases every object
    // of the session that ends, so that no thread, descriptor or handle of it outlives the unload
    // and a later Load finds nothing of it. The client stays bound: it is a static object of the
    // module and lives as long as the module stays mapped.
    virtual void OnUnload() {}

protected:
    // Destroying the client does not unbind it; it is a static object that lives until process exit.
    ~CCitrixClient() = default;
    CCitrixClient(const CCitrixClient&) = delete;
    CCitrixClient& operator=(const CCitrixClient&) = delete;
};

// The driver's channel client: executes the server's commands of the "TovUSB" channel on local
// managers and devices registered under the server's object handles, and answers each command.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "CitrixClient.h"
#include "MessageType.h"

class CMemoryStream;
class CMyCitrixMCUSBButtonDevice;
class CMyCitrixMCUSBButtonDeviceManager;

// The module has one, a static object bound to the channel "TovUSB" at library load (a second one
// throws the int 1 from the CCitrixClient constructor).
//
// Threads: OnDataReceived and OnPoll run on the engine thread, one message at a time; the two lists
// are touched only there and need no lock. The objects raise events on their reader threads (buttons)
// and on this thread (arrivals and removals); they read only their own binding, which this thread
// writes before the object can raise anything and cuts before it stops the object's threads.
// Who holds what: the registry holds each device (shared) from CreateDevice to DeleteDevice or
// VdUnload; a device's running threads hold it too, so none of them ever finds it gone.
class CCitrixUSBButtonDeviceManagerClient : public CCitrixClient {
public:
    CCitrixUSBButtonDeviceManagerClient();
    // Library destructor (dlclose, FreeLibrary, process exit): the lists are emptied, the objects
    // still registered are left as they are; waiting for their reader threads here would block
    // under the loader lock. After a VdUnload (OnUnload) the lists are empty already.
    ~CCitrixUSBButtonDeviceManagerClient();

    // Decodes and executes one message. Every recognised command has queued its reply before this
    // returns, unless its device-model operation failed: the failure is traced and the message ends
    // without a reply. Nothing is thrown. Always 0.
    int OnDataReceived(const uint8_t* data, uint16_t size) override;
    // Every poll: each manager announces the arrivals and removals its probe thread has finished.
    void OnPoll() override;
    // VdUnload, engine thread: every registered manager is destroyed (its notifications end), and
    // every device is unbound and its threads told to stop, all of them before one wait against one
    // deadline (kStopWait); a thread still running then holds its device and lets it go when it
    // ends. The registry is empty afterwards, so a later Load in the same mapping finds no object
    // of this session.
    void OnUnload() override;

    // The registry, in creation order (a lookup takes the first object with the handle).
    const std::list<CMyCitrixMCUSBButtonDeviceManager*>& Managers() const { return managers; }
    const std::list<std::shared_ptr<CMyCitrixMCUSBButtonDevice>>& Devices() const { return devices; }

private:
    void Execute(CMemoryStream& stream, uint32_t code, ObjectHandle handle);

    void CreateManager(ObjectHandle handle);
    void DeleteManager(ObjectHandle handle);
    CMyCitrixMCUSBButtonDeviceManager* FindManager(ObjectHandle handle);
    void CreateDevice(ObjectHandle handle);
    void DeleteDevice(ObjectHandle handle);
    CMyCitrixMCUSBButtonDevice* FindDevice(ObjectHandle handle);

    std::list<CMyCitrixMCUSBButtonDeviceManager*> managers;  // owned entries
    std::list<std::shared_ptr<CMyCitrixMCUSBButtonDevice>> devices;
};

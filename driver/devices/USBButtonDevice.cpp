#include "USBButtonDevice.h"

#include <list>
#include <utility>

#include "USBButtonDeviceData.h"
#include "USBButtonDeviceManager.h"

CUSBButtonDevice::CUSBButtonDevice() : data(new CUSBButtonDeviceData(this)) {}

CUSBButtonDevice::~CUSBButtonDevice() { delete data; }

CUSBButtonDevice& CUSBButtonDevice::operator=(const CUSBButtonDevice& other) {
    if (&other == this || other.data == data) return *this;
    data->AssignFrom(*other.data);
    return *this;
}

void CUSBButtonDevice::Init(const USBButtonDeviceDescriptor& descriptor) { data->Init(descriptor); }

const USBButtonDeviceDescriptor& CUSBButtonDevice::GetDescriptor() { return data->GetDescriptor(); }

void CUSBButtonDevice::EnableButtonEvents(bool enabled) { data->EnableButtonEvents(enabled); }

void CUSBButtonDevice::SetLED(const int32_t& led, const int32_t& value) {
    LEDSetting setting;
    setting.led = led;
    setting.value = value;
    data->SendLEDReport(std::list<LEDSetting>(1, setting));
}

void CUSBButtonDevice::SetLEDs(const std::list<LEDSetting>& settings) {
    data->SendLEDReport(settings);
}

bool CUSBButtonDevice::Connect() { return data->Connect(); }

void CUSBButtonDevice::Disconnect() { data->Disconnect(); }

bool CUSBButtonDevice::IsConnected() { return data->IsOpen(); }

void CUSBButtonDevice::QueueLEDs(const std::list<LEDSetting>& settings, HIDWriteDone done) {
    data->QueueLEDReport(settings, std::move(done));
}

void CUSBButtonDevice::RequestDisconnect() { data->RequestClose(); }

void CUSBButtonDevice::WaitForDisconnect(StopDeadline deadline) { data->WaitForClose(deadline); }

bool CUSBButtonDevice::ConnectToDevice(int32_t vendorID, int32_t productID,
                                       const std::string& devicePath) {
    std::list<USBButtonDeviceDescriptor> devices;
    {
        CUSBButtonDeviceManager manager;
        manager.GetConnectedDevices(devices);
    }
    for (const USBButtonDeviceDescriptor& device : devices) {
        if (vendorID != 0 && vendorID != device.hidInfo.vendorID) continue;
        if (productID != 0 && productID != device.hidInfo.productID) continue;
        if (!devicePath.empty() && devicePath != device.hidInfo.devicePath) continue;
        Init(device);
        Connect();
        return true;
    }
    return false;
}

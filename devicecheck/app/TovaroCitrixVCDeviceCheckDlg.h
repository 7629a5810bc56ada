// The device check's dialog: registration status, the devices present, what the ICA Client's
// generic USB rules would do to them, the selected device's button events and LEDs, the trace log switch and the report for a support ticket.
#pragma once

#include <string>
#include <vector>

#include "ButtonMapStatus.h"
#include "CheckText.h"
#include "DeviceCheckSession.h"
#include "Dialog.h"
#include "resource.h"

// Everything runs on the dialog's thread, except OnLinesAdded, which the selected device's reader
// thread calls: it only posts kLinesAddedMessage to the dialog.
class CTovaroCitrixVCDeviceCheckDlg : public CDialog, private CDeviceCheckListener {
public:
    // Posted when event lines wait in the session.
    static constexpr UINT kLinesAddedMessage = WM_APP + 1;

    explicit CTovaroCitrixVCDeviceCheckDlg(CWnd* parent = nullptr);
    ~CTovaroCitrixVCDeviceCheckDlg() override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* exchange) override;
    void OnCancel() override;

    void OnSelectDevice();
    void OnLEDOn();
    void OnLEDOff();
    void OnAllLEDsOff();
    void OnTraceLog();
    void OnOpenLog();
    void OnCopyReport();
    LRESULT OnLinesAddedMessage(WPARAM, LPARAM);
    LRESULT OnCopyData(WPARAM sender, LPARAM data);

    DECLARE_MESSAGE_MAP()

private:
    void OnDevicesChanged() override;
    void OnLinesAdded() override;

    void ShowRegistration();
    void ShowSessions();
    void ShowDevices();
    void ShowLEDs();
    void ShowTraceLog();
    void SetLED(bool on);
    std::string SelectedListPath() const;

    HICON programIcon;
    CDeviceCheckSession* session = nullptr;  // owned; lives while the dialog window does
    std::vector<ClientRegistration> clients;
    ButtonMapStatus buttonMap;
    std::vector<std::string> listedPaths;  // device list entries, in list order
    std::vector<int32_t> offeredLEDs;      // LED list entries, in list order

    CWnd registration, deviceList, otherHID, buttonMapText, ledList, ledOn, ledOff, allLEDsOff, traceLog, openLog,
        events, usbRules;
};

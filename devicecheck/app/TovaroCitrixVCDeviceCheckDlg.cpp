#include "TovaroCitrixVCDeviceCheckDlg.h"

#include <shellapi.h>

#include "ClientRegistrations.h"
#include "SessionsText.h"
#include "PolicyUsbRules.h"
#include "DiskFile.h"
#include "HardwareButtonMap.h"
#include "SimulationHooks.h"
#include "TraceLog.h"
#include "WinApp.h"

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

bool TraceLogExists() {
    CDiskFile file;
    return file.SetPath(kClientLogPath) && file.Exists();
}

}  // namespace

CTovaroCitrixVCDeviceCheckDlg::CTovaroCitrixVCDeviceCheckDlg(CWnd* parent)
    : CDialog(IDD_DEVICECHECK_DIALOG, parent), programIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {}

CTovaroCitrixVCDeviceCheckDlg::~CTovaroCitrixVCDeviceCheckDlg() { delete session; }

BEGIN_MESSAGE_MAP(CTovaroCitrixVCDeviceCheckDlg, CDialog)
    ON_LBN_SELCHANGE(IDC_DEVICE_LIST, &CTovaroCitrixVCDeviceCheckDlg::OnSelectDevice)
    ON_BN_CLICKED(IDC_LED_ON, &CTovaroCitrixVCDeviceCheckDlg::OnLEDOn)
    ON_BN_CLICKED(IDC_LED_OFF, &CTovaroCitrixVCDeviceCheckDlg::OnLEDOff)
    ON_BN_CLICKED(IDC_ALL_LEDS_OFF, &CTovaroCitrixVCDeviceCheckDlg::OnAllLEDsOff)
    ON_BN_CLICKED(IDC_TRACE_LOG, &CTovaroCitrixVCDeviceCheckDlg::OnTraceLog)
    ON_BN_CLICKED(IDC_OPEN_LOG, &CTovaroCitrixVCDeviceCheckDlg::OnOpenLog)
    ON_BN_CLICKED(IDC_COPY_REPORT, &CTovaroCitrixVCDeviceCheckDlg::OnCopyReport)
    ON_MESSAGE(kLinesAddedMessage, &CTovaroCitrixVCDeviceCheckDlg::OnLinesAddedMessage)
    ON_MESSAGE(WM_COPYDATA, &CTovaroCitrixVCDeviceCheckDlg::OnCopyData)
END_MESSAGE_MAP()

void CTovaroCitrixVCDeviceCheckDlg::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_REGISTRATION, registration);
    DDX_Control(exchange, IDC_DEVICE_LIST, deviceList);
    DDX_Control(exchange, IDC_OTHER_HID, otherHID);
    DDX_Control(exchange, IDC_BUTTON_MAP, buttonMapText);
    DDX_Control(exchange, IDC_LED_LIST, ledList);
    DDX_Control(exchange, IDC_LED_ON, ledOn);
    DDX_Control(exchange, IDC_LED_OFF, ledOff);
    DDX_Control(exchange, IDC_ALL_LEDS_OFF, allLEDsOff);
    DDX_Control(exchange, IDC_TRACE_LOG, traceLog);
    DDX_Control(exchange, IDC_OPEN_LOG, openLog);
    DDX_Control(exchange, IDC_EVENTS, events);
    DDX_Control(exchange, IDC_USB_RULES, usbRules);
}

BOOL CTovaroCitrixVCDeviceCheckDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(programIcon, TRUE);
    SetIcon(programIcon, FALSE);
    const std::string caption = std::string("TovaroCitrixVCDeviceCheck") + devicecheck::CaptionSuffix();
    ::SetWindowTextA(m_hWnd, caption.c_str());

    clients = FindClientRegistrations();
    ShowRegistration();

    // The button device loads the map at its first event; loading it now makes the process's map
    // and the one shown here the same file contents.
    MapHardwareButton(0);
    buttonMap = InspectHardwareButtonMap();
    ::SetWindowTextA(buttonMapText.m_hWnd, JoinLines(ButtonMapLines(buttonMap)).c_str());

    // The session's notification windows belong to this thread, whose dialog loop serves them.
    session = new CDeviceCheckSession(*this);
    session->Refresh();
    ShowTraceLog();
    return TRUE;
}

void CTovaroCitrixVCDeviceCheckDlg::OnCancel() {
    // Disconnect the device and remove the notification windows before the dialog goes.
    delete session;
    session = nullptr;
    CDialog::OnCancel();
}

void CTovaroCitrixVCDeviceCheckDlg::OnDevicesChanged() { ShowDevices(); }

void CTovaroCitrixVCDeviceCheckDlg::OnLinesAdded() {
    // Any thread: only wake the dialog's thread.
    ::PostMessageA(m_hWnd, kLinesAddedMessage, 0, 0);
}

LRESULT CTovaroCitrixVCDeviceCheckDlg::OnLinesAddedMessage(WPARAM, LPARAM) {
    if (!session) return 0;
    for (const std::string& line : session->TakeNewLines()) {
        events.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    // Keep at most as many lines as the session does, and the newest in view.
    LRESULT count = events.SendMessage(LB_GETCOUNT);
    while (count > static_cast<LRESULT>(CDeviceCheckSession::kMaxLines)) {
        events.SendMessage(LB_DELETESTRING, 0);
        --count;
    }
    if (count > 0) events.SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(count - 1));
    return 0;
}

void CTovaroCitrixVCDeviceCheckDlg::ShowRegistration() {
    ::SetWindowTextA(registration.m_hWnd, JoinLines(RegistrationLines(clients)).c_str());
    ShowSessions();
}

void CTovaroCitrixVCDeviceCheckDlg::ShowSessions() {
    // Which session has the buttons changes as the user works: read again whenever the device list
    // changes.
    ::SetDlgItemTextA(m_hWnd, IDC_SESSIONS, JoinLines(SessionsLines()).c_str());
}

void CTovaroCitrixVCDeviceCheckDlg::ShowDevices() {
    if (!session || !deviceList.m_hWnd) return;
    ShowSessions();
    const USBButtonDeviceDescriptor* selected = session->Selected();
    const std::string selectedPath = selected ? selected->hidInfo.devicePath : std::string();
    deviceList.SendMessage(LB_RESETCONTENT);
    listedPaths.clear();
    for (const USBButtonDeviceDescriptor& device : session->Devices()) {
        const std::string line = DeviceLine(device);
        const LRESULT index = deviceList.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        listedPaths.push_back(device.hidInfo.devicePath);
        if (device.hidInfo.devicePath == selectedPath) deviceList.SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index));
    }
    std::string other = OtherHIDDevicesText(session->OtherHIDDevices());
    if (!session->ListError().empty()) other = "Listing failed: " + session->ListError();
    ::SetWindowTextA(otherHID.m_hWnd, other.c_str());
    ::SetWindowTextA(usbRules.m_hWnd, JoinLines(devicecheck::UsbRulesLines(PolicyUsbRules(session->Devices()))).c_str());
    ShowLEDs();
}

std::string CTovaroCitrixVCDeviceCheckDlg::SelectedListPath() const {
    const LRESULT index = ::SendMessageA(deviceList.m_hWnd, LB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= listedPaths.size()) return std::string();
    return listedPaths[static_cast<size_t>(index)];
}

void CTovaroCitrixVCDeviceCheckDlg::OnSelectDevice() {
    if (!session) return;
    const std::string path = SelectedListPath();
    const USBButtonDeviceDescriptor* selected = session->Selected();
    if (selected && selected->hidInfo.devicePath == path) return;
    if (!session->Select(path)) deviceList.SendMessage(LB_SETCURSEL, static_cast<WPARAM>(-1));
    ShowLEDs();
}

void CTovaroCitrixVCDeviceCheckDlg::ShowLEDs() {
    const LEDChoices choices = session ? session->SelectedLEDs() : LEDChoices();
    if (choices.leds != offeredLEDs) {
        offeredLEDs = choices.leds;
        ledList.SendMessage(CB_RESETCONTENT);
        for (int32_t led : offeredLEDs) {
            const std::string text = std::to_string(led);
            ledList.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        if (!offeredLEDs.empty()) ledList.SendMessage(CB_SETCURSEL, 0);
    }
    const BOOL hasLEDs = offeredLEDs.empty() ? FALSE : TRUE;
    ledList.EnableWindow(hasLEDs);
    ledOn.EnableWindow(hasLEDs);
    ledOff.EnableWindow(hasLEDs);
    allLEDsOff.EnableWindow(hasLEDs);
}

void CTovaroCitrixVCDeviceCheckDlg::SetLED(bool on) {
    const LRESULT index = ledList.SendMessage(CB_GETCURSEL);
    if (!session || index < 0 || static_cast<size_t>(index) >= offeredLEDs.size()) return;
    session->SetLED(offeredLEDs[static_cast<size_t>(index)], on);
}

void CTovaroCitrixVCDeviceCheckDlg::OnLEDOn() { SetLED(true); }

void CTovaroCitrixVCDeviceCheckDlg::OnLEDOff() { SetLED(false); }

void CTovaroCitrixVCDeviceCheckDlg::OnAllLEDsOff() {
    if (session) session->AllLEDsOff();
}

void CTovaroCitrixVCDeviceCheckDlg::ShowTraceLog() {
    const bool present = TraceLogExists();
    traceLog.SendMessage(BM_SETCHECK, present ? BST_CHECKED : BST_UNCHECKED);
    openLog.EnableWindow(present ? TRUE : FALSE);
}

void CTovaroCitrixVCDeviceCheckDlg::OnTraceLog() {
    CDiskFile file;
    const bool parsed = file.SetPath(kClientLogPath);
    const bool wanted = !TraceLogExists();
    if (wanted) {
        if (parsed && file.Create())
            session->AddLine(std::string("Created ") + kClientLogPath + ": the driver traces from the ICA Client's next start");
        else
            session->AddLine(std::string("Could not create ") + kClientLogPath);
    } else {
        if (parsed && file.Delete())
            session->AddLine(std::string("Deleted ") + kClientLogPath + ": the driver stops tracing at the ICA Client's next start");
        else
            session->AddLine(std::string("Could not delete ") + kClientLogPath);
    }
    // The check box shows what is on disk, whatever happened.
    ShowTraceLog();
}

void CTovaroCitrixVCDeviceCheckDlg::OnOpenLog() {
    const HINSTANCE opened = ::ShellExecuteA(m_hWnd, "open", kClientLogPath, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(opened) <= 32) session->AddLine(std::string("Could not open ") + kClientLogPath);
}

void CTovaroCitrixVCDeviceCheckDlg::OnCopyReport() {
    if (!session) return;
    CheckReportContent content;
    content.created = CDateTime::Now();
    content.clients = clients;
    content.sessions = SessionsLines();
    content.devices = session->Devices();
    content.otherHIDDevices = session->OtherHIDDevices();
    content.listError = session->ListError();
    content.usbRules = devicecheck::UsbRulesLines(PolicyUsbRules(session->Devices()));
    content.buttonMap = buttonMap;
    content.traceLogPath = kClientLogPath;
    content.traceLogPresent = TraceLogExists();
    if (const USBButtonDeviceDescriptor* selected = session->Selected()) content.selectedDevice = selected->name;
    content.lines = session->AllLines();
    const std::string text = BuildCheckReport(content);

    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!memory) return;
    char* bytes = static_cast<char*>(::GlobalLock(memory));
    memcpy(bytes, text.c_str(), text.size() + 1);
    ::GlobalUnlock(memory);
    bool copied = false;
    if (::OpenClipboard(m_hWnd)) {
        ::EmptyClipboard();
        copied = ::SetClipboardData(CF_TEXT, memory) != nullptr;
        ::CloseClipboard();
    }
    if (!copied) {
        ::GlobalFree(memory);
        session->AddLine("Could not put the report on the clipboard");
        return;
    }
    session->AddLine("Report copied to the clipboard");
}

LRESULT CTovaroCitrixVCDeviceCheckDlg::OnCopyData(WPARAM sender, LPARAM data) {
    const COPYDATASTRUCT* copy = reinterpret_cast<const COPYDATASTRUCT*>(data);
    if (!copy || copy->dwData != devicecheck::kSimulationCommandTag || !copy->lpData || copy->cbData > 4096) return 0;
    const std::string command(static_cast<const char*>(copy->lpData), copy->cbData);
    LRESULT result = 0;
    if (!devicecheck::RunSimulationCommand(m_hWnd, reinterpret_cast<HWND>(sender), command, result)) return -1;
    return result;
}

#include "TovaroCitrixVCClientSetupDlg.h"

#include "AboutDlg.h"
#include "LogText.h"
#include "WinApp.h"

CTovaroCitrixVCClientSetupDlg::CTovaroCitrixVCClientSetupDlg(CWnd* parent)
    : CDialog(IDD_TOVAROCITRIXVCCLIENTSETUP_DIALOG, parent),
      programIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {}

CTovaroCitrixVCClientSetupDlg::CTovaroCitrixVCClientSetupDlg(SetupAction action, CInstallerLogFile* logFile,
                                                             CChannelInstaller::InstallScope scope, CWnd* parent)
    : CTovaroCitrixVCClientSetupDlg(parent) {
    startAction = action;
    this->logFile = logFile;
    installer = CChannelInstaller(scope);
}

BEGIN_MESSAGE_MAP(CTovaroCitrixVCClientSetupDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_INSTALL_BUTTON, &CTovaroCitrixVCClientSetupDlg::OnInstall)
    ON_BN_CLICKED(IDC_UNINSTALL_BUTTON, &CTovaroCitrixVCClientSetupDlg::OnUninstall)
    ON_BN_CLICKED(IDC_CLEAR_BUTTON, &CTovaroCitrixVCClientSetupDlg::OnClear)
END_MESSAGE_MAP()

void CTovaroCitrixVCClientSetupDlg::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    if (!exchange->m_bSaveAndValidate && logEdit.GetSafeHwnd() != nullptr) {
        // Everything the buttons depend on is read afresh from the registry and the disk: Install
        // when some client is installed and its driver is beside the program, Uninstall when some
        // client has the channel registered.
        installButton.EnableWindow(installer.CanInstall());
        uninstallButton.EnableWindow(installer.CanUninstall());
    }
    DDX_Control(exchange, IDC_LOG_EDIT, logEdit);
    DDX_Text(exchange, IDC_LOG_EDIT, logText);
    DDX_Control(exchange, IDC_INSTALL_BUTTON, installButton);
    DDX_Control(exchange, IDC_UNINSTALL_BUTTON, uninstallButton);
}

BOOL CTovaroCitrixVCClientSetupDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU systemMenu = GetSystemMenu(FALSE)) {
        char aboutText[256] = {};
        if (::LoadStringA(AfxGetApp()->m_hInstance, IDS_ABOUTBOX, aboutText, sizeof aboutText) > 0) {
            ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }
    SetIcon(programIcon, TRUE);
    SetIcon(programIcon, FALSE);

    installer.ReportState(*this);
    AddLogLine("");

    UpdateData(FALSE);
    // An action from the command line runs once the dialog is shown, through the same handler
    // as a click on its button, so the person at the screen sees every step.
    if (startAction == SetupAction::kInstall || startAction == SetupAction::kUninstall) {
        const int button = startAction == SetupAction::kInstall ? IDC_INSTALL_BUTTON : IDC_UNINSTALL_BUTTON;
        ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, button)));
    }
    return TRUE;
}

void CTovaroCitrixVCClientSetupDlg::AddLogLine(const std::string& text) {
    ++lineCounter;
    const std::string line = FormatNumberedLogLine(lineCounter, text);
    logText += line;
    if (logFile) logFile->Append(line);
    UpdateData(FALSE);
    logEdit.LineScroll(logEdit.GetLineCount());
}

void CTovaroCitrixVCClientSetupDlg::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        Default();
    }
}

void CTovaroCitrixVCClientSetupDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - iconWidth + 1) / 2;
    const int y = (rect.bottom - rect.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, programIcon);
}

HCURSOR CTovaroCitrixVCClientSetupDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(programIcon); }

void CTovaroCitrixVCClientSetupDlg::OnInstall() {
    actionExitCode = RunSetupAction(installer, SetupAction::kInstall, *this);
}

void CTovaroCitrixVCClientSetupDlg::OnUninstall() {
    actionExitCode = RunSetupAction(installer, SetupAction::kUninstall, *this);
}

void CTovaroCitrixVCClientSetupDlg::OnClear() {
    logText.clear();
    lineCounter = 0;
    UpdateData(FALSE);
}

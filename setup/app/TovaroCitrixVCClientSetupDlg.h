// The setup dialog: "&Install" and "&Uninstall" run the channel installer, a read-only field shows
// the numbered log of every step, "&Clear" empties it. The buttons are enabled only when their
// procedure can run, re-evaluated at every data exchange. Runs entirely on the program's one thread.
#pragma once

#include <string>

#include "ChannelInstaller.h"
#include "Dialog.h"
#include "InstallerLog.h"
#include "LogFile.h"
#include "SetupCommandLine.h"
#include "resource.h"

class CTovaroCitrixVCClientSetupDlg : public CDialog, public CInstallerLogInterface {
public:
    explicit CTovaroCitrixVCClientSetupDlg(CWnd* parent = nullptr);
    // Started from the command line: once the dialog shows, it runs `action` (kInstall or
    // kUninstall) as a click on its button would, for the clients of `scope`, and copies every log
    // line to `logFile` when given.
    CTovaroCitrixVCClientSetupDlg(SetupAction action, CInstallerLogFile* logFile,
                                  CChannelInstaller::InstallScope scope, CWnd* parent = nullptr);

    // The exit code of the last install or uninstall the dialog ran (kExitSucceeded before any).
    int ActionExitCode() const { return actionExitCode; }

    // Adds one numbered line ("%i.\t%s\r\n"; an empty text adds a blank line that still counts),
    // refreshes the field and the buttons and scrolls to the end.
    void AddLogLine(const std::string& text) override;
    // The data exchange in the loading direction.
    void Refresh() override { UpdateData(FALSE); }

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnInstall();
    void OnUninstall();
    void OnClear();
    DECLARE_MESSAGE_MAP()

private:
    HICON programIcon;
    int lineCounter = 0;
    CEdit logEdit;
    std::string logText;
    CButton installButton;
    CButton uninstallButton;

    CChannelInstaller installer;
    SetupAction startAction = SetupAction::kDialog;
    CInstallerLogFile* logFile = nullptr;
    int actionExitCode = kExitSucceeded;
};

// The application object: without arguments it shows the setup dialog and ends when it closes;
// with /install or /uninstall it runs that procedure (in the dialog, or with /quiet without any
// window) and ends with the procedure's exit code.
#pragma once

#include "WinApp.h"

class CTovaroCitrixVCClientSetupApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override { return exitCode; }

private:
    int exitCode = 0;
};

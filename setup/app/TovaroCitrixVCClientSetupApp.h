// The application object: shows the setup dialog and ends when it closes.
#pragma once

#include "WinApp.h"

class CTovaroCitrixVCClientSetupApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

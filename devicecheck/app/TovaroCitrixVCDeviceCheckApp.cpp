// The device check's application object: shows the dialog and ends when it closes.
#include "TovaroCitrixVCDeviceCheckDlg.h"
#include "WinApp.h"

namespace {

class CTovaroCitrixVCDeviceCheckApp : public CWinApp {
public:
    BOOL InitInstance() override {
        CTovaroCitrixVCDeviceCheckDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

// The program's one application object.
CTovaroCitrixVCDeviceCheckApp theApp;

}  // namespace

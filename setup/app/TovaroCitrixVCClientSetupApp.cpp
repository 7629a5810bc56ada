#include "TovaroCitrixVCClientSetupApp.h"

#include "TovaroCitrixVCClientSetupDlg.h"

// The program's one application object.
CTovaroCitrixVCClientSetupApp theApp;

BOOL CTovaroCitrixVCClientSetupApp::InitInstance() {
    // The dialog hosts no ActiveX controls, so there is no control container to initialise.
    CTovaroCitrixVCClientSetupDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The dialog has closed: end the program.
    return FALSE;
}

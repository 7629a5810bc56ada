// The application object of a dialog-based program: one global instance derived from CWinApp,
// whose InitInstance runs the program. The program's WinMain is in this layer.
#pragma once

#include "Wnd.h"

class CWinApp {
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Runs the program; a dialog-based program shows its modal dialog here and returns FALSE,
    // which ends the program (there is no application message loop).
    virtual BOOL InitInstance() { return FALSE; }
    // The program's exit code.
    virtual int ExitInstance() { return 0; }

    // An icon resource of the program, in the system's large icon size.
    HICON LoadIcon(UINT id) const;

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

// The program's one application object.
CWinApp* AfxGetApp();

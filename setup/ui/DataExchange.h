// Dialog data exchange: binds controls to members and moves texts between controls and strings.
#pragma once

#include <string>

#include "Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    BOOL m_bSaveAndValidate;  // true: controls to members; false: members to controls
    CWnd* m_pDlgWnd;
};

// Binds `control` to the dialog's control `id` (once; the binding stays for the dialog's life).
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
// Moves the text of control `id` to or from `value`.
void DDX_Text(CDataExchange* exchange, int id, std::string& value);

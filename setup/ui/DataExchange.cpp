#include "DataExchange.h"

#include <vector>

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (control.m_hWnd == nullptr) control.m_hWnd = ::GetDlgItem(exchange->m_pDlgWnd->m_hWnd, id);
}

void DDX_Text(CDataExchange* exchange, int id, std::string& value) {
    HWND control = ::GetDlgItem(exchange->m_pDlgWnd->m_hWnd, id);
    if (!control) return;
    if (!exchange->m_bSaveAndValidate) {
        ::SetWindowTextA(control, value.c_str());
        return;
    }
    const int length = ::GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(control, text.data(), length + 1);
    value.assign(text.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

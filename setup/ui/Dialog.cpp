#include "Dialog.h"

#include "WinApp.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId(templateId), parent(parent) {}

INT_PTR CDialog::DoModal() {
    HWND owner = parent ? parent->m_hWnd : nullptr;
    if (!owner && AfxGetApp() && AfxGetApp()->m_pMainWnd != this && AfxGetApp()->m_pMainWnd)
        owner = AfxGetApp()->m_pMainWnd->m_hWnd;
    HINSTANCE instance = AfxGetApp() ? AfxGetApp()->m_hInstance : ::GetModuleHandleA(nullptr);
    const INT_PTR result = ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    const DialogMessageMapEntry* entry = GetMessageMap();
    for (; entry && entry->kind != DialogMessageMapEntry::Kind::kEnd; ++entry) {
        defaultRequested = false;
        switch (entry->kind) {
        case DialogMessageMapEntry::Kind::kSysCommand:
            if (message != WM_SYSCOMMAND) continue;
            (this->*entry->onSysCommand)(static_cast<UINT>(wParam), lParam);
            result = 0;
            return !defaultRequested;
        case DialogMessageMapEntry::Kind::kPaint:
            if (message != WM_PAINT) continue;
            (this->*entry->onEvent)();
            result = 0;
            return !defaultRequested;
        case DialogMessageMapEntry::Kind::kQueryDragIcon:
            if (message != WM_QUERYDRAGICON) continue;
            // One of the messages whose answer the dialog procedure returns directly.
            result = reinterpret_cast<INT_PTR>((this->*entry->onQueryDragIcon)());
            return true;
        case DialogMessageMapEntry::Kind::kButtonClicked:
            if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED ||
                LOWORD(wParam) != entry->controlId)
                continue;
            (this->*entry->onEvent)();
            result = 0;
            return !defaultRequested;
        case DialogMessageMapEntry::Kind::kControlNotify:
            if (message != WM_COMMAND || HIWORD(wParam) != entry->code || LOWORD(wParam) != entry->controlId)
                continue;
            (this->*entry->onEvent)();
            result = 0;
            return !defaultRequested;
        case DialogMessageMapEntry::Kind::kMessage:
            if (message != entry->code) continue;
            // A dialog procedure hands a message's own result over through DWLP_MSGRESULT.
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, (this->*entry->onMessage)(wParam, lParam));
            result = TRUE;
            return true;
        case DialogMessageMapEntry::Kind::kEnd: break;
        }
    }
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        return dialog->OnInitDialog();
    }
    CDialog* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) return FALSE;
    INT_PTR result = 0;
    if (dialog->Dispatch(message, wParam, lParam, result)) return result;
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            dialog->OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            dialog->OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

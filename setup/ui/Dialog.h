// A modal dialog on a dialog resource, with data exchange and a message map of the handlers the
// derived class declares.
#pragma once

#include "DataExchange.h"
#include "Wnd.h"

class CDialog;

// One message map entry: which message (or which button's click) goes to which member.
struct DialogMessageMapEntry {
    enum class Kind { kEnd, kSysCommand, kPaint, kQueryDragIcon, kButtonClicked, kControlNotify, kMessage };
    Kind kind;
    int controlId;  // kButtonClicked, kControlNotify
    void (CDialog::*onEvent)();                       // kPaint, kButtonClicked, kControlNotify
    void (CDialog::*onSysCommand)(UINT id, LPARAM lParam);
    HCURSOR (CDialog::*onQueryDragIcon)();
    UINT code;  // kControlNotify: the notification code; kMessage: the message
    LRESULT (CDialog::*onMessage)(WPARAM wParam, LPARAM lParam);  // kMessage
};

// The map of a dialog class: DECLARE_MESSAGE_MAP() in the class, then in its source file
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_WM_PAINT()
//       ON_BN_CLICKED(1013, &CMyDlg::OnInstall)
//       ON_LBN_SELCHANGE(1020, &CMyDlg::OnSelectDevice)      // any control notification
//       ON_MESSAGE(WM_APP + 1, &CMyDlg::OnLinesAdded)        // LRESULT (WPARAM, LPARAM)
//   END_MESSAGE_MAP()
// Messages not in the map get the dialog manager's default processing.
#define DECLARE_MESSAGE_MAP() \
protected:                    \
    const DialogMessageMapEntry* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                              \
    const DialogMessageMapEntry* theClass::GetMessageMap() const {          \
        using ThisClass [[maybe_unused]] = theClass;                       \
        static const DialogMessageMapEntry entries[] = {
#define ON_WM_SYSCOMMAND()                                                   \
    {DialogMessageMapEntry::Kind::kSysCommand, 0, nullptr,                   \
     static_cast<void (CDialog::*)(UINT, LPARAM)>(&ThisClass::OnSysCommand), nullptr, 0, nullptr},
#define ON_WM_PAINT() \
    {DialogMessageMapEntry::Kind::kPaint, 0, static_cast<void (CDialog::*)()>(&ThisClass::OnPaint), nullptr, nullptr, \
     0, nullptr},
#define ON_WM_QUERYDRAGICON()                                 \
    {DialogMessageMapEntry::Kind::kQueryDragIcon, 0, nullptr, nullptr, \
     static_cast<HCURSOR (CDialog::*)()>(&ThisClass::OnQueryDragIcon), 0, nullptr},
#define ON_BN_CLICKED(id, handler) \
    {DialogMessageMapEntry::Kind::kButtonClicked, (id), static_cast<void (CDialog::*)()>(handler), nullptr, nullptr, \
     0, nullptr},
#define ON_CONTROL(notifyCode, id, handler)                                                                  \
    {DialogMessageMapEntry::Kind::kControlNotify, (id), static_cast<void (CDialog::*)()>(handler), nullptr, \
     nullptr, static_cast<UINT>(notifyCode), nullptr},
#define ON_LBN_SELCHANGE(id, handler) ON_CONTROL(LBN_SELCHANGE, id, handler)
// The handler's answer is the message's result (DWLP_MSGRESULT).
#define ON_MESSAGE(message, handler)                                                                    \
    {DialogMessageMapEntry::Kind::kMessage, 0, nullptr, nullptr, nullptr, static_cast<UINT>(message), \
     static_cast<LRESULT (CDialog::*)(WPARAM, LPARAM)>(handler)},
#define END_MESSAGE_MAP()                                                  \
    {DialogMessageMapEntry::Kind::kEnd, 0, nullptr, nullptr, nullptr, 0, nullptr}}; \
        return entries;                                                    \
    }

class CDialog : public CWnd {
public:
    // `parent` may be nullptr: the dialog is then owned by the application's main window, if any.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Shows the dialog and runs its message loop until EndDialog; the value passed to EndDialog,
    // or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    // Default initialisation: loads the controls from the members (UpdateData(FALSE)). True lets
    // the dialog manager set the focus.
    virtual BOOL OnInitDialog();
    // Runs the data exchange in the given direction.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

protected:
    virtual void DoDataExchange(CDataExchange* exchange) {}
    // The default OK and Cancel handling (Enter and Escape, the Close command): end the dialog.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Called from a message map handler: leave the current message to the default processing.
    void Default() { defaultRequested = true; }
    virtual const DialogMessageMapEntry* GetMessageMap() const { return nullptr; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // True when the map handled the message; `result` is then the dialog procedure's answer.
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    UINT templateId;
    CWnd* parent;
    bool defaultRequested = false;
};

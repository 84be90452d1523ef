#pragma once
// Window wrappers: CWnd and the small control, menu and device-context
// wrappers that dialogs use.
#include <windows.h>
#include <commctrl.h>
#include "afx_msgmap.h"

class CWnd;

// Context of one data exchange between a dialog and its members.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // Marks the exchange as failed; UpdateData then returns FALSE.
    void Fail() { m_bFailed = TRUE; }

    BOOL m_bSaveAndValidate;    // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
    BOOL m_bFailed = FALSE;
};

// Menu handle wrapper; the system menu is reached through CWnd::GetSystemMenu.
class CMenu : public CObject {
public:
    CMenu() = default;
    explicit CMenu(HMENU hMenu) : m_hMenu(hMenu) {}

    // A temporary wrapper for the handle (see CWnd::FromHandle).
    static CMenu* FromHandle(HMENU hMenu);

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);

    HMENU m_hMenu = nullptr;
};

// Device context wrapper.
class CDC : public CObject {
public:
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC = nullptr;
};

// BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    // Only detaches: a wrapper never destroys a window it did not create.
    ~CWnd() override;

    // The wrapper that this thread attached to hWnd if there is one, otherwise
    // a temporary wrapper, valid until this thread's outermost message
    // handler returns.
    static CWnd* FromHandle(HWND hWnd);

    BOOL Attach(HWND hWnd);
    HWND Detach();

    CWnd* GetDlgItem(int nID) const;

    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL ShowWindow(int nCmdShow);
    BOOL IsIconic() const;
    void SetWindowText(LPCTSTR lpszString);
    void GetClientRect(LPRECT lpRect) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // bRevert FALSE: the window's own copy of the system menu, or null.
    CMenu* GetSystemMenu(BOOL bRevert) const;

    // Centres on the owner when it has a visible one, else on the work area
    // of the monitor the window is on.
    void CenterWindow();
    virtual BOOL DestroyWindow();

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Routes one message through the message maps; FALSE when none handles it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    // Default handling of the message being handled now, with its own parameters.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Default handlers, for derived handlers to forward to.
    void OnPaint();
    void OnSysCommand(UINT nID, LPARAM lParam);
    HCURSOR OnQueryDragIcon();
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();

    HWND m_hWnd = nullptr;

    DECLARE_MESSAGE_MAP()
};

// Binds a member wrapper to the dialog control with the given id, once.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CProgressCtrl : public CWnd {
    DECLARE_DYNAMIC(CProgressCtrl)
public:
    CProgressCtrl() = default;

    int SetPos(int nPos);
};

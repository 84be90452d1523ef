#pragma once
// Modal dialogs built from a dialog template in the resource module.
#include <atomic>
#include "afx_wnd.h"

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Destroys the window if it still exists.
    ~CDialog() override;

    // Runs the dialog until EndDialog: its result, or -1 when the template is
    // missing or the window cannot be created.
    virtual INT_PTR DoModal();

    // Called when the dialog's window exists and before it is shown; TRUE
    // lets the dialog manager give the focus to the first tab stop.
    virtual BOOL OnInitDialog();
    // Called when IDOK arrives (OK button, or Enter without a focused push button).
    virtual void OnOK();
    // Called when IDCANCEL arrives (Escape, the close box, Alt+F4).
    virtual void OnCancel();
    // Called when the dialog manager asks which button Enter presses: a
    // focused push button, however the focus reached it, else the default.
    LRESULT OnGetDefID(WPARAM wParam, LPARAM lParam);

    // Ends the modal loop with nResult; safe to call from any thread.
    void EndDialog(int nResult);

    BOOL OnCmdMsg(UINT nID, int nCode) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDHelp;                 // the template id
    CWnd* m_pParentWnd;

protected:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);

    std::atomic<bool> m_bModalDone{false};
    std::atomic<INT_PTR> m_nModalResult{-1};
    UINT m_nSkipRouteMsg = 0;       // message being passed on by Default()
    bool m_bSkipRoute = false;
    bool m_bCentreOnInit = false;

    DECLARE_MESSAGE_MAP()
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

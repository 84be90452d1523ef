#pragma once
#include "afxwin.h"
#include "resource.h"

// Where the minimised window's icon is drawn: centred in the client area,
// halves truncated toward zero (an empty area gives a negative origin).
POINT MinimisedIconOrigin(int clientWidth, int clientHeight, int cxIcon, int cyIcon);

// The tool's one window: the four regions' status lines and bars, the
// notice and device-ready lines, Start and Cancel.
class CORV_updateDlg : public CDialog {
public:
    enum { IDD = IDD_UPDATE_DIALOG };
    explicit CORV_updateDlg(CWnd* pParent = nullptr);
    ~CORV_updateDlg() override;

    wchar_t m_szModuleDir[256];     // the tool's folder, with its trailing backslash
    wchar_t m_szDatabasePath[256];  // written by the worker
    int m_bUpdateDone;              // 1 once an update has run to its end
    HICON m_hIcon;
    CProgressCtrl m_progressDatabase;
    CProgressCtrl m_progressFirmware;
    CProgressCtrl m_progressAudio;
    CProgressCtrl m_progressRadar;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Called for every system command; the About entry opens the About box.
    void OnSysCommand(UINT nID, LPARAM lParam);
    // Called to paint; draws the icon when the window is minimised.
    void OnPaint();
    // Called when the minimised window is dragged.
    HCURSOR OnQueryDragIcon();
    // Called on every tick of timers 1, 2 and 3.
    void OnTimer(UINT_PTR nIDEvent);
    // Called when Start is pressed.
    void OnBnClickedStart();
    // Called when Cancel is pressed: asks before closing.
    void OnBnClickedCancel();
    void OnDestroy();
    // Called when the worker reports a failed write: shows the error tip.
    LRESULT OnUpdateError(WPARAM wParam, LPARAM lParam);
    // Called when the worker asks for a window operation of this thread.
    LRESULT OnWindowOp(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

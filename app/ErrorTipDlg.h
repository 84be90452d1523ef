#pragma once
#include "afxwin.h"
#include "resource.h"

// Tells the user that writing a region failed and the update must be run
// again. OK, Escape and the close box all end it.
class CCErrorTipDlg : public CDialog {
    DECLARE_DYNAMIC(CCErrorTipDlg)

public:
    enum { IDD = IDD_ERROR_TIP };
    explicit CCErrorTipDlg(CWnd* pParent = nullptr);
    ~CCErrorTipDlg() override;

protected:
    DECLARE_MESSAGE_MAP()
};

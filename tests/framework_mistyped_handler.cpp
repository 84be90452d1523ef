// Must not compile: a click handler that returns a value.
#include "afxwin.h"

class CMistypedDlg : public CDialog {
public:
    CMistypedDlg() : CDialog(1) {}
    int OnBnClickedStart() { return 1; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMistypedDlg, CDialog)
    ON_BN_CLICKED(1000, &CMistypedDlg::OnBnClickedStart)
END_MESSAGE_MAP()

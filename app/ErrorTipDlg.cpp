#include "ErrorTipDlg.h"

IMPLEMENT_DYNAMIC(CCErrorTipDlg, CDialog)

CCErrorTipDlg::CCErrorTipDlg(CWnd* pParent) : CDialog(IDD, pParent) {}

CCErrorTipDlg::~CCErrorTipDlg() = default;

BEGIN_MESSAGE_MAP(CCErrorTipDlg, CDialog)
END_MESSAGE_MAP()

#pragma once
#include "afxwin.h"
#include "resource.h"

// The About box, offered by the system menu. It shows its template as it is.
class CAboutDlg : public CDialog {
public:
    enum { IDD = IDD_ABOUTBOX };
    CAboutDlg();
    ~CAboutDlg() override;

protected:
    DECLARE_MESSAGE_MAP()
};

#pragma once
#include "afxwin.h"

// The application: runs the main dialog once, modally, and ends.
class CORV_updateApp : public CWinApp {
public:
    CORV_updateApp();
    ~CORV_updateApp() override;
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CORV_updateApp g_theApp;

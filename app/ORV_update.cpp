#include "ORV_update.h"

#include "ORV_updateDlg.h"

BEGIN_MESSAGE_MAP(CORV_updateApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CORV_updateApp::CORV_updateApp() = default;

CORV_updateApp::~CORV_updateApp() = default;

BOOL CORV_updateApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    CORV_updateDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The dialog object ends with this scope; nothing may keep pointing at
    // it, also when its window could not be created.
    m_pMainWnd = nullptr;

    // The dialog's loop was the program's only loop: end without another.
    return FALSE;
}

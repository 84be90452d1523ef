// A program built on the framework that checks its own start and end: the
// window tests run it under another file name and read its exit code.
#include <cwchar>
#include "afxwin.h"
#include "framework_test_res.h"

namespace {

class CProbeApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        CWinApp::InitInstance();
        AfxEnableControlContainer();
        SetRegistryKey(L"Local AppWizard-Generated Applications");

        // The expected name is the whole command line.
        const wchar_t* expected = m_lpCmdLine != nullptr ? m_lpCmdLine : L"";
        if (std::wcscmp(expected, m_pszAppName) != 0)
            m_nFaults |= 1;

        CDialog dlg(IDD_FW_MISSING);
        m_pMainWnd = &dlg;
        if (dlg.DoModal() != -1)
            m_nFaults |= 2;
        return FALSE;
    }

    int ExitInstance() override
    {
        if (m_pMainWnd != nullptr)
            m_nFaults |= 4;
        if (!AfxControlContainerEnabled())
            m_nFaults |= 8;
        return 0x100 | m_nFaults;
    }

private:
    int m_nFaults = 0;
};

CProbeApp g_theApp;

} // namespace

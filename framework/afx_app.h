#pragma once
// Threads, the application object, the program's main routine and the
// application-wide helpers (message box, handles).
#include <string>
#include "afx_wnd.h"

// String id of the application title in the string table.
#define AFX_IDS_APP_TITLE 0xE000

class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread();

    virtual BOOL InitInstance();
    // Result becomes the thread's (the program's) exit code.
    virtual int ExitInstance();
    // Message loop until WM_QUIT, then ExitInstance.
    virtual int Run();
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }

    CWnd* m_pMainWnd = nullptr;
    DWORD m_nThreadID;
    MSG m_msgCur{};
};

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    // Records the object as the current application (until it ends).
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitApplication();
    BOOL InitInstance() override;

    // Records the key; the framework keeps no profile, so nothing is written.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);

    // The tool has no help content: the help command does nothing.
    void OnHelp();

    LPCTSTR m_pszAppName = nullptr;
    LPCTSTR m_pszRegistryKey = nullptr;
    LPTSTR m_lpCmdLine = nullptr;

    // Fixes the name from the string table or the program file (see AfxWinInit).
    void SetAppNameFromModule(HINSTANCE hInstance);

private:
    std::wstring m_strAppName;
    std::wstring m_strRegistryKey;
    CWinApp* m_pPreviousApp = nullptr;

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
// The main window, only on the application's own thread; null elsewhere.
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// The whole path of a module's file, however long; empty when it cannot be
// read. Tests give their own GetModuleFileNameW.
using AfxModuleFileNameCall = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
std::wstring AfxGetModulePath(HMODULE hModule, AfxModuleFileNameCall getModuleFileName = ::GetModuleFileNameW);

// The file name of a path without folder and extension ("C:\a\tool.exe" -> "tool").
std::wstring AfxAppNameFromModulePath(LPCWSTR lpszPath);

// The owner that a message box or a modal dialog takes when given none: the
// main window's last active pop-up on the application's thread, else null.
HWND AfxGetSafeOwner();

// The style AfxMessageBox shows: an OK box without an icon gets the
// exclamation mark, a Yes/No box the question mark.
UINT AfxMessageBoxStyle(UINT nType);
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// We host no OLE controls; the call is only recorded.
void AfxEnableControlContainer();
BOOL AfxControlContainerEnabled();

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);

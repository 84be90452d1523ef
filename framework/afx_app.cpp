#include "afx_app.h"

#include <atomic>
#include "afx_state.h"

namespace {

// Read by message boxes on any thread, cleared when the application ends.
std::atomic<CWinApp*> g_pCurrentApp{nullptr};
// The name that message boxes show, fixed by AfxWinInit before any other
// thread runs. Never destroyed: a worker's box raised while the process
// ends must not read the application object, which static destruction
// frees first.
const std::wstring* g_pBoxCaption = nullptr;
HINSTANCE g_hInstance = nullptr;
std::atomic<bool> g_bControlContainer{false};

} // namespace

// ---- CWinThread --------------------------------------------------------------

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

CWinThread::CWinThread() : m_nThreadID(::GetCurrentThreadId())
{
}

BOOL CWinThread::InitInstance()
{
    return FALSE;
}

int CWinThread::ExitInstance()
{
    return static_cast<int>(m_msgCur.wParam);
}

int CWinThread::Run()
{
    for (;;) {
        BOOL got = ::GetMessageW(&m_msgCur, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageW(&m_msgCur);
    }
    return ExitInstance();
}

// ---- CWinApp -------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR lpszAppName)
{
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.c_str();
    }
    m_pPreviousApp = g_pCurrentApp.exchange(this);
}

CWinApp::~CWinApp()
{
    CWinApp* self = this;
    g_pCurrentApp.compare_exchange_strong(self, m_pPreviousApp);
}

BOOL CWinApp::InitApplication()
{
    return TRUE;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey)
{
    m_strRegistryKey = lpszRegistryKey != nullptr ? lpszRegistryKey : L"";
    m_pszRegistryKey = m_strRegistryKey.c_str();
}

void CWinApp::OnHelp()
{
}

void CWinApp::SetAppNameFromModule(HINSTANCE hInstance)
{
    if (m_pszAppName != nullptr)
        return;

    const wchar_t* title = nullptr;
    int len = ::LoadStringW(hInstance, AFX_IDS_APP_TITLE, reinterpret_cast<LPWSTR>(&title), 0);
    if (len > 0 && title != nullptr)
        m_strAppName.assign(title, static_cast<size_t>(len));
    else
        m_strAppName = AfxAppNameFromModulePath(AfxGetModulePath(hInstance).c_str());
    m_pszAppName = m_strAppName.c_str();
}

// ---- Application-wide helpers -----------------------------------------------------

CWinApp* AfxGetApp()
{
    return g_pCurrentApp;
}

CWnd* AfxGetMainWnd()
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr || pApp->m_nThreadID != ::GetCurrentThreadId())
        return nullptr;
    return pApp->GetMainWnd();
}

void AfxForgetMainWnd(CWnd* pWnd)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pWnd != nullptr && pApp->m_pMainWnd == pWnd)
        pApp->m_pMainWnd = nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_hInstance != nullptr ? g_hInstance : ::GetModuleHandleW(nullptr);
}

// The program keeps its resources in itself.
HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

std::wstring AfxGetModulePath(HMODULE hModule, AfxModuleFileNameCall getModuleFileName)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        // A path cut to the buffer comes back as long as the buffer, with or
        // without its terminator (the platform's versions differ): grow.
        const DWORD n = getModuleFileName(hModule, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 0x8000)
            return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring AfxAppNameFromModulePath(LPCWSTR lpszPath)
{
    std::wstring name = lpszPath != nullptr ? lpszPath : L"";
    size_t slash = name.find_last_of(L"\\/:");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot != 0)
        name.erase(dot);
    return name;
}

HWND AfxGetSafeOwner()
{
    CWnd* pMain = AfxGetMainWnd();
    HWND hMain = pMain != nullptr ? pMain->m_hWnd : nullptr;
    if (hMain == nullptr || !::IsWindow(hMain))
        return nullptr;
    return ::GetLastActivePopup(hMain);
}

UINT AfxMessageBoxStyle(UINT nType)
{
    if ((nType & MB_ICONMASK) != 0)
        return nType;
    switch (nType & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
        return nType | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return nType | MB_ICONQUESTION;
    default:
        return nType;
    }
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT)
{
    const std::wstring caption = g_pBoxCaption != nullptr
        ? *g_pBoxCaption : AfxAppNameFromModulePath(AfxGetModulePath(nullptr).c_str());
    return ::MessageBoxW(AfxGetSafeOwner(), lpszText, caption.c_str(), AfxMessageBoxStyle(nType));
}

void AfxEnableControlContainer()
{
    g_bControlContainer = true;
}

BOOL AfxControlContainerEnabled()
{
    return g_bControlContainer ? TRUE : FALSE;
}

// ---- Start and end of the program ----------------------------------------------------

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPTSTR lpCmdLine, int)
{
    g_hInstance = hInstance;
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr) {
        pApp->m_lpCmdLine = lpCmdLine;
        pApp->m_nThreadID = ::GetCurrentThreadId();
        pApp->SetAppNameFromModule(hInstance);
        if (g_pBoxCaption == nullptr)
            g_pBoxCaption = new std::wstring(pApp->m_pszAppName);
    }
    return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow)
{
    int nReturnCode = -1;
    CWinApp* pApp = AfxGetApp();
    try {
        if (pApp != nullptr && AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow)
            && pApp->InitApplication()) {
            if (pApp->InitInstance()) {
                nReturnCode = pApp->Run();
            } else {
                CWnd* pMain = pApp->m_pMainWnd;
                if (pMain != nullptr && pMain->m_hWnd != nullptr)
                    pMain->DestroyWindow();
                nReturnCode = pApp->ExitInstance();
            }
        }
    } catch (...) {
        nReturnCode = -1;
    }
    return nReturnCode;
}

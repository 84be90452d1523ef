#include "afx_dialog.h"

#include "afx_app.h"
#include "afx_state.h"

namespace {

const wchar_t kDialogProp[] = L"OrvFrameworkDialog";

// The dialog whose window is being created on this thread: its procedure
// receives WM_SETFONT and WM_INITDIALOG before the object could be attached.
thread_local CDialog* t_pDialogInit = nullptr;

// Style and position of a dialog template, plain or extended.
struct TemplateHeader {
    DWORD style;
    short x;
    short y;
};

TemplateHeader ReadTemplateHeader(const void* pTemplate)
{
    const WORD* words = static_cast<const WORD*>(pTemplate);
    TemplateHeader h{};
    if (words[0] == 1 && words[1] == 0xFFFF) {
        // DLGTEMPLATEEX: dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y
        const BYTE* p = static_cast<const BYTE*>(pTemplate);
        CopyMemory(&h.style, p + 12, sizeof(DWORD));
        CopyMemory(&h.x, p + 18, sizeof(short));
        CopyMemory(&h.y, p + 20, sizeof(short));
    } else {
        const DLGTEMPLATE* t = static_cast<const DLGTEMPLATE*>(pTemplate);
        h.style = t->style;
        h.x = t->x;
        h.y = t->y;
    }
    return h;
}

// Messages whose result a dialog procedure returns itself rather than
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM:
    case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

CDialog* DialogOf(HWND hWnd)
{
    CDialog* pDlg = static_cast<CDialog*>(::GetPropW(hWnd, kDialogProp));
    if (pDlg == nullptr && t_pDialogInit != nullptr) {
        pDlg = t_pDialogInit;
        t_pDialogInit = nullptr;
        if (!pDlg->Attach(hWnd))
            return nullptr;
        ::SetPropW(hWnd, kDialogProp, pDlg);
    }
    return pDlg;
}

} // namespace

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind into the dialog manager: a handler that throws
    // leaves the message to the default handling.
    try {
        CDialog* pDlg = DialogOf(hWnd);
        if (pDlg == nullptr)
            return FALSE;
        if (pDlg->m_bSkipRoute && pDlg->m_nSkipRouteMsg == message) {
            pDlg->m_bSkipRoute = false;
            return FALSE;
        }

        AfxCurrentMessageScope scope(hWnd, message, wParam, lParam);
        if (message == WM_INITDIALOG) {
            if (pDlg->m_bCentreOnInit)
                pDlg->CenterWindow();
            return pDlg->OnInitDialog();
        }

        LRESULT result = 0;
        BOOL handled = pDlg->OnWndMsg(message, wParam, lParam, &result);
        if (message == WM_NCDESTROY) {
            ::RemovePropW(hWnd, kDialogProp);
            pDlg->Detach();
            AfxDetachDeadWindows();
            AfxForgetMainWnd(pDlg);
        }
        if (!handled)
            return FALSE;
        if (ReturnsResultDirectly(message))
            return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
    ON_MESSAGE(DM_GETDEFID, &CDialog::OnGetDefID)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)
        && ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
        ::DestroyWindow(m_hWnd);
    if (m_hWnd != nullptr) {
        ::RemovePropW(m_hWnd, kDialogProp);
        Detach();
    }
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hRes = ::FindResourceW(hInst, MAKEINTRESOURCEW(m_nIDHelp), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HGLOBAL hGlobal = hRes != nullptr ? ::LoadResource(hInst, hRes) : nullptr;
    const void* pTemplate = hGlobal != nullptr ? ::LockResource(hGlobal) : nullptr;
    if (pTemplate == nullptr || ::SizeofResource(hInst, hRes) < sizeof(DLGTEMPLATE))
        return -1;

    HWND hWndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (hWndOwner == nullptr && AfxGetMainWnd() != this)
        hWndOwner = AfxGetSafeOwner();
    bool bEnableOwner = false;
    if (hWndOwner != nullptr && ::IsWindowEnabled(hWndOwner)) {
        ::EnableWindow(hWndOwner, FALSE);
        bEnableOwner = true;
    }

    const TemplateHeader header = ReadTemplateHeader(pTemplate);
    m_bCentreOnInit = header.x == 0 && header.y == 0
        && (header.style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) == 0;
    m_bModalDone = false;
    m_nModalResult = -1;

    t_pDialogInit = this;
    HWND hWnd = ::CreateDialogIndirectParamW(hInst, static_cast<LPCDLGTEMPLATEW>(pTemplate),
                                             hWndOwner, AfxDlgProc, reinterpret_cast<LPARAM>(this));
    t_pDialogInit = nullptr;

    if (hWnd != nullptr) {
        if (!m_bModalDone && (::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_VISIBLE) == 0)
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        MSG msg;
        while (!m_bModalDone && ::IsWindow(hWnd)) {
            BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got == -1)
                break;
            if (got == 0) {
                // Leave WM_QUIT for the loop that owns it.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!::IsDialogMessageW(hWnd, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (::IsWindow(hWnd))
            ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE
                                                      | SWP_NOACTIVATE | SWP_NOZORDER);
    }

    if (bEnableOwner)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWnd != nullptr) {
        if (hWndOwner != nullptr && ::GetActiveWindow() == hWnd)
            ::SetActiveWindow(hWndOwner);
        if (::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
    }
    if (m_hWnd != nullptr) {
        ::RemovePropW(m_hWnd, kDialogProp);
        Detach();
    }
    return hWnd != nullptr ? m_nModalResult.load() : -1;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

// The dialog manager makes a push button the default one only when the focus
// reaches it by dialog navigation (Tab, arrows); the focus a dialog gets when
// it opens, or gets back after a message box, arrives plainly, and Enter
// would then press the default instead of the focused button.
LRESULT CDialog::OnGetDefID(WPARAM, LPARAM)
{
    HWND hFocus = ::GetFocus();
    if (hFocus != nullptr && ::IsChild(m_hWnd, hFocus)
        && (::SendMessageW(hFocus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0)
        return MAKELRESULT(::GetDlgCtrlID(hFocus), DC_HASDEFID);
    return Default();
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bModalDone = true;
    // Wakes the modal loop when it waits in GetMessage (also from another thread).
    if (m_hWnd != nullptr)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    if (nCode != CN_COMMAND)
        return FALSE;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr ? pApp->OnCmdMsg(nID, nCode) : FALSE;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // DefDlgProc asks the dialog procedure first; that one call must not be
    // routed through the maps again, or the handler would call itself.
    m_nSkipRouteMsg = message;
    m_bSkipRoute = true;
    LRESULT result = ::DefDlgProcW(m_hWnd, message, wParam, lParam);
    m_bSkipRoute = false;
    return result;
}

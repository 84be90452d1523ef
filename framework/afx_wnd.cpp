#include "afx_wnd.h"

#include <memory>
#include <unordered_map>
#include "afx_state.h"

namespace {

// Wrappers belong to the thread whose windows they wrap, as the windows
// themselves do, so each thread has maps of its own and needs no lock.
// Temporary wrappers, handed out for handles that no object is attached
// to, live until the thread's outermost message handler returns: a caller
// must not keep one beyond its handler.
struct HandleMaps {
    std::unordered_map<HWND, CWnd*> permanent;
    std::unordered_map<HWND, std::unique_ptr<CWnd>> temporary;
    std::unordered_map<HMENU, std::unique_ptr<CMenu>> menus;
};

// Made on first use and freed once the thread's handler has returned with
// nothing attached: a thread-local object with a destructor would be
// destroyed at thread exit under the loader lock, where freeing memory can
// deadlock with another thread.
thread_local HandleMaps* t_maps = nullptr;
thread_local int t_messageDepth = 0;

HandleMaps& Maps()
{
    if (t_maps == nullptr)
        t_maps = new HandleMaps;
    return *t_maps;
}

void ReleaseTemporaryWrappers()
{
    if (t_maps == nullptr)
        return;
    t_maps->temporary.clear();
    t_maps->menus.clear();
    if (t_maps->permanent.empty()) {
        delete t_maps;
        t_maps = nullptr;
    }
}

} // namespace

AfxCurrentMessage& AfxCurrentMsg()
{
    static thread_local AfxCurrentMessage current{};
    return current;
}

AfxCurrentMessageScope::AfxCurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    : m_saved(AfxCurrentMsg())
{
    AfxCurrentMsg() = AfxCurrentMessage{hWnd, message, wParam, lParam};
    ++t_messageDepth;
}

AfxCurrentMessageScope::~AfxCurrentMessageScope()
{
    AfxCurrentMsg() = m_saved;
    if (--t_messageDepth == 0)
        ReleaseTemporaryWrappers();
}

void AfxDetachDeadWindows()
{
    if (t_maps == nullptr)
        return;
    HandleMaps& m = *t_maps;
    for (auto it = m.permanent.begin(); it != m.permanent.end();) {
        if (!::IsWindow(it->first)) {
            it->second->m_hWnd = nullptr;
            it = m.permanent.erase(it);
        } else {
            ++it;
        }
    }
}

// ---- CMenu -----------------------------------------------------------------

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (hMenu == nullptr)
        return nullptr;
    std::unique_ptr<CMenu>& slot = Maps().menus[hMenu];
    if (!slot)
        slot.reset(new CMenu(hMenu));
    return slot.get();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem)
{
    return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

// ---- CPaintDC --------------------------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

// ---- CWnd: handles ---------------------------------------------------------

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd()
{
    Detach();
    AfxForgetMainWnd(this);
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    HandleMaps& m = Maps();
    auto it = m.permanent.find(hWnd);
    if (it != m.permanent.end())
        return it->second;
    std::unique_ptr<CWnd>& slot = m.temporary[hWnd];
    if (!slot) {
        slot.reset(new CWnd);
        slot->m_hWnd = hWnd;
    }
    return slot.get();
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr)
        return FALSE;
    HandleMaps& m = Maps();
    auto it = m.permanent.find(hWnd);
    if (it != m.permanent.end() && it->second != this)
        return FALSE;
    m.permanent[hWnd] = this;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr && t_maps != nullptr) {
        auto it = t_maps->permanent.find(hWnd);
        if (it != t_maps->permanent.end() && it->second == this)
            t_maps->permanent.erase(it);
    }
    m_hWnd = nullptr;
    return hWnd;
}

// ---- CWnd: window operations ------------------------------------------------

CWnd* CWnd::GetDlgItem(int nID) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

void CWnd::SetWindowText(LPCTSTR lpszString)
{
    ::SetWindowTextW(m_hWnd, lpszString);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_SETICON,
        bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    return ::KillTimer(m_hWnd, nIDEvent);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

void CWnd::CenterWindow()
{
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);

    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(hOwner != nullptr ? hOwner : m_hWnd,
                                          MONITOR_DEFAULTTONEAREST), &mi);
    RECT rcArea = mi.rcWork;
    RECT rcCentre = rcArea;
    if (hOwner != nullptr && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner))
        ::GetWindowRect(hOwner, &rcCentre);

    const int cx = rcWnd.right - rcWnd.left;
    const int cy = rcWnd.bottom - rcWnd.top;
    int x = (rcCentre.left + rcCentre.right) / 2 - cx / 2;
    int y = (rcCentre.top + rcCentre.bottom) / 2 - cy / 2;
    // Keep the window inside the work area, its top-left corner first.
    if (x + cx > rcArea.right) x = rcArea.right - cx;
    if (y + cy > rcArea.bottom) y = rcArea.bottom - cy;
    if (x < rcArea.left) x = rcArea.left;
    if (y < rcArea.top) y = rcArea.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

// ---- CWnd: data exchange and message routing --------------------------------

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(GetMessageMap(), message, 0, 0);
    if (e == nullptr)
        return FALSE;
    *pResult = e->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    // Menus and accelerators carry no control handle: both are plain commands.
    if (lParam == 0)
        nCode = CN_COMMAND;
    return OnCmdMsg(nID, nCode);
}

LRESULT CWnd::Default()
{
    const AfxCurrentMessage msg = AfxCurrentMsg();
    if (msg.hWnd == nullptr || msg.hWnd != m_hWnd)
        return 0;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CWnd::OnPaint() { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnDestroy() { Default(); }

// ---- Controls ----------------------------------------------------------------

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != nullptr)
        return;
    HWND hCtrl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (hCtrl == nullptr || !rControl.Attach(hCtrl))
        pDX->Fail();
}

IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)

int CProgressCtrl::SetPos(int nPos)
{
    return static_cast<int>(::SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(nPos), 0));
}

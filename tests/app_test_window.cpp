#include "app_test_window.h"

#include <commctrl.h>

#include <cstring>
#include <new>

#include "update_worker.h"

namespace apptest {

namespace {

constexpr unsigned char kFreedByte = 0xDD;

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

} // namespace

std::wstring ProgramName()
{
    std::wstring name = ModulePath();
    name.erase(0, name.find_last_of(L'\\') + 1);
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

std::wstring ProgramFolder()
{
    std::wstring folder = ModulePath();
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder;
}

void StartApplication()
{
    static const bool started = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
        return AfxWinInit(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), SW_SHOW) != FALSE;
    }();
    (void)started;
}

bool WaitForWorkerEnd(DWORD timeoutMs)
{
    return ui::WaitUntil([] { return !UpdateWorkerRunning(); }, timeoutMs);
}

MainDialog::MainDialog() : m_storage(new unsigned char[sizeof(CORV_updateDlg)])
{
    StartApplication();
    m_thread.reset(new ui::UiThread([this] { Run(); }));
    m_hWnd = ui::WaitForDialog(m_thread->Id(), kMainCaption);
}

MainDialog::~MainDialog()
{
    // UiThread's destructor closes whatever is still open, bounded.
    m_thread.reset();
}

namespace {
thread_local MainDialog* t_watched = nullptr;
}

LRESULT CALLBACK MainDialog::WatchShow(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* msg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    MainDialog* self = t_watched;
    if (code == HC_ACTION && self != nullptr && msg->message == WM_SHOWWINDOW && msg->wParam
        && self->m_object.load() != nullptr && msg->hwnd == self->m_object.load()->m_hWnd && !self->m_shown) {
        self->m_focusWhenShown = ::GetFocus();
        self->m_shown = true;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MainDialog::WatchMessages(int code, WPARAM wParam, LPARAM lParam)
{
    auto* msg = reinterpret_cast<MSG*>(lParam);
    MainDialog* self = t_watched;
    if (code == HC_ACTION && wParam == PM_REMOVE && self != nullptr && msg->message == WM_TIMER
        && msg->wParam < 4 && self->m_object.load() != nullptr && msg->hwnd == self->m_object.load()->m_hWnd)
        ++self->m_ticks[msg->wParam];
    if (code == HC_ACTION && wParam == PM_REMOVE && self != nullptr && msg->message == WM_KEYDOWN
        && msg->wParam == VK_RETURN && self->m_key == Key::Posted) {
        if (::GetFocus() == self->m_keyTarget.load()) {
            self->m_key = Key::Taken;
        } else {
            msg->message = WM_NULL;
            self->m_key = Key::Dropped;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool MainDialog::PressEnterOn(int id)
{
    HWND target = ::GetDlgItem(m_hWnd, id);
    m_keyTarget = target;
    for (int attempt = 0; attempt < 20; ++attempt) {
        ui::WaitUntil([&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            if (::GetGUIThreadInfo(m_thread->Id(), &info) && info.hwndFocus == target)
                return true;
            ::SetForegroundWindow(m_hWnd);
            return false;
        }, 1000);
        m_key = Key::Posted;
        if (!ui::PressKey(m_hWnd, VK_RETURN)
            || !ui::WaitUntil([&] { return m_key != Key::Posted; }))
            return false;
        if (m_key == Key::Taken)
            return true;
    }
    return false;
}

void MainDialog::Run()
{
    t_watched = this;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &MainDialog::WatchShow, nullptr, ::GetCurrentThreadId());
    HHOOK keys = ::SetWindowsHookExW(WH_GETMESSAGE, &MainDialog::WatchMessages, nullptr, ::GetCurrentThreadId());
    CWinApp* app = AfxGetApp();
    app->m_nThreadID = ::GetCurrentThreadId();
    auto* dlg = new (m_storage.get()) CORV_updateDlg;
    m_object = dlg;
    app->m_pMainWnd = dlg;
    m_result = dlg->DoModal();
    ::UnhookWindowsHookEx(keys);
    ::UnhookWindowsHookEx(hook);
    t_watched = nullptr;
    app->m_pMainWnd = nullptr;
    m_object = nullptr;
    dlg->~CORV_updateDlg();
    // Anything that still writes to the object after this shows up here.
    std::memset(m_storage.get(), kFreedByte, sizeof(CORV_updateDlg));
    m_closed = true;
}

bool MainDialog::WaitClosed(DWORD timeoutMs)
{
    return m_thread->Join(timeoutMs) && m_closed;
}

bool MainDialog::StorageUntouchedSinceClose() const
{
    if (!m_closed)
        return false;
    for (std::size_t i = 0; i < sizeof(CORV_updateDlg); ++i)
        if (m_storage[i] != kFreedByte)
            return false;
    return true;
}

HWND MainDialog::WaitOwned(const std::wstring& caption, DWORD timeoutMs) const
{
    ui::WindowQuery query;
    query.caption = caption;
    query.owner = m_hWnd;
    query.matchOwner = true;
    return ui::WaitForWindow(m_thread->Id(), query, timeoutMs);
}

std::vector<HWND> Children(HWND hWnd)
{
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

POINT Centre(HWND hWnd)
{
    RECT r{};
    ::GetWindowRect(hWnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::wstring ClassName(HWND hWnd)
{
    wchar_t name[64] = {};
    ::GetClassNameW(hWnd, name, 64);
    return name;
}

} // namespace apptest

#include "ui_driver.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ui {

// ---- UiThread ------------------------------------------------------------------

UiThread::UiThread(std::function<void()> body) : m_body(std::move(body))
{
    m_hThread = ::CreateThread(nullptr, 0, &UiThread::Entry, this, 0, &m_id);
}

DWORD WINAPI UiThread::Entry(void* self)
{
    try {
        static_cast<UiThread*>(self)->m_body();
    } catch (...) {
        ADD_FAILURE() << "the UI thread's body threw";
    }
    return 0;
}

bool UiThread::Join(DWORD timeoutMs)
{
    if (m_hThread == nullptr)
        return true;
    return ::WaitForSingleObject(m_hThread, timeoutMs) == WAIT_OBJECT_0;
}

namespace {
BOOL CALLBACK CloseOne(HWND hWnd, LPARAM)
{
    ::PostMessageW(hWnd, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
}
} // namespace

UiThread::~UiThread()
{
    if (m_hThread == nullptr)
        return;
    for (int attempt = 0; attempt < 20 && !Join(250); ++attempt)
        ::EnumThreadWindows(m_id, &CloseOne, 0);
    if (!Join(0))
        ADD_FAILURE() << "the UI thread did not end";
    ::CloseHandle(m_hThread);
}

// ---- Finding windows -------------------------------------------------------------

std::wstring WindowText(HWND hWnd)
{
    wchar_t buf[1024] = {};
    // InternalGetWindowText does not send a message, so a busy thread cannot block us.
    ::InternalGetWindowText(hWnd, buf, 1024);
    return buf;
}

namespace {

std::wstring ClassOf(HWND hWnd)
{
    wchar_t buf[256] = {};
    ::GetClassNameW(hWnd, buf, 256);
    return buf;
}

struct FindContext {
    const WindowQuery* query;
    HWND found;
};

BOOL CALLBACK MatchOne(HWND hWnd, LPARAM lParam)
{
    FindContext* ctx = reinterpret_cast<FindContext*>(lParam);
    const WindowQuery& q = *ctx->query;
    if (hWnd == q.exclude)
        return TRUE;
    if (q.visibleOnly && !::IsWindowVisible(hWnd))
        return TRUE;
    if (!q.className.empty() && ClassOf(hWnd) != q.className)
        return TRUE;
    if (!q.caption.empty() && WindowText(hWnd) != q.caption)
        return TRUE;
    if (q.matchOwner && ::GetWindow(hWnd, GW_OWNER) != q.owner)
        return TRUE;
    ctx->found = hWnd;
    return FALSE;
}

} // namespace

HWND FindThreadWindow(DWORD threadId, const WindowQuery& query)
{
    FindContext ctx{&query, nullptr};
    ::EnumThreadWindows(threadId, &MatchOne, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (pred())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(10);
    }
}

HWND WaitForWindow(DWORD threadId, const WindowQuery& query, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindThreadWindow(threadId, query)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForDialog(DWORD threadId, const std::wstring& caption, DWORD timeoutMs)
{
    WindowQuery q;
    q.caption = caption;
    return WaitForWindow(threadId, q, timeoutMs);
}

namespace {
BOOL CALLBACK MatchOfProcess(HWND hWnd, LPARAM lParam)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(hWnd, &process);
    return process != ::GetCurrentProcessId() || MatchOne(hWnd, lParam);
}
} // namespace

HWND WaitForProcessWindow(const WindowQuery& query, DWORD timeoutMs)
{
    FindContext ctx{&query, nullptr};
    WaitUntil([&] {
        ::EnumWindows(&MatchOfProcess, reinterpret_cast<LPARAM>(&ctx));
        return ctx.found != nullptr;
    }, timeoutMs);
    return ctx.found;
}

bool WaitForWindowGone(HWND hWnd, DWORD timeoutMs)
{
    return WaitUntil([&] { return !::IsWindow(hWnd); }, timeoutMs);
}

// ---- Reading controls ---------------------------------------------------------------

std::wstring ControlText(HWND hDlg, int id)
{
    HWND hCtrl = ::GetDlgItem(hDlg, id);
    return hCtrl != nullptr ? WindowText(hCtrl) : std::wstring();
}

bool IsControlVisible(HWND hDlg, int id)
{
    HWND hCtrl = ::GetDlgItem(hDlg, id);
    return hCtrl != nullptr && (::GetWindowLongPtrW(hCtrl, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsControlEnabled(HWND hDlg, int id)
{
    HWND hCtrl = ::GetDlgItem(hDlg, id);
    return hCtrl != nullptr && ::IsWindowEnabled(hCtrl);
}

HWND Owner(HWND hWnd)
{
    return ::GetWindow(hWnd, GW_OWNER);
}

// ---- Acting -----------------------------------------------------------------------------

bool ClickButton(HWND hDlg, int id)
{
    HWND hCtrl = ::GetDlgItem(hDlg, id);
    return hCtrl != nullptr && ::PostMessageW(hCtrl, BM_CLICK, 0, 0);
}

bool SendCommand(HWND hDlg, int id)
{
    HWND hCtrl = ::GetDlgItem(hDlg, id);
    return ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                          reinterpret_cast<LPARAM>(hCtrl));
}

bool PressKey(HWND hDlg, UINT vk)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND target = hDlg;
    DWORD tid = ::GetWindowThreadProcessId(hDlg, nullptr);
    if (::GetGUIThreadInfo(tid, &info) && info.hwndFocus != nullptr
        && (info.hwndFocus == hDlg || ::IsChild(hDlg, info.hwndFocus)))
        target = info.hwndFocus;
    const UINT scan = ::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    if (!::PostMessageW(target, WM_KEYDOWN, vk, 1 | (scan << 16)))
        return false;
    // A key-down that has already closed its window has done its job; the
    // key-up then has no window to go to.
    return ::PostMessageW(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u) || !::IsWindow(target);
}

bool CloseWithCloseBox(HWND hWnd)
{
    return ::PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

namespace {
BOOL CALLBACK CollectStatic(HWND hWnd, LPARAM lParam)
{
    std::wstring* out = reinterpret_cast<std::wstring*>(lParam);
    if (_wcsicmp(ClassOf(hWnd).c_str(), L"Static") == 0) {
        std::wstring t = WindowText(hWnd);
        if (!t.empty()) {
            if (!out->empty())
                *out += L"\n";
            *out += t;
        }
    }
    return TRUE;
}
} // namespace

std::wstring MessageBoxText(HWND hBox)
{
    std::wstring text;
    ::EnumChildWindows(hBox, &CollectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

namespace {
BOOL CALLBACK FindIcon(HWND hWnd, LPARAM lParam)
{
    const LONG style = ::GetWindowLongW(hWnd, GWL_STYLE);
    if ((style & SS_TYPEMASK) != SS_ICON || (style & WS_VISIBLE) == 0
        || _wcsicmp(ClassOf(hWnd).c_str(), L"Static") != 0)
        return TRUE;
    *reinterpret_cast<HICON*>(lParam) = reinterpret_cast<HICON>(::SendMessageW(hWnd, STM_GETICON, 0, 0));
    return FALSE;
}
} // namespace

HICON MessageBoxIcon(HWND hBox)
{
    HICON icon = nullptr;
    ::EnumChildWindows(hBox, &FindIcon, reinterpret_cast<LPARAM>(&icon));
    return icon;
}

namespace {
BOOL CALLBACK CollectButton(HWND hWnd, LPARAM lParam)
{
    if (::IsWindowVisible(hWnd) && _wcsicmp(ClassOf(hWnd).c_str(), L"Button") == 0)
        reinterpret_cast<std::vector<int>*>(lParam)->push_back(::GetDlgCtrlID(hWnd));
    return TRUE;
}
} // namespace

std::vector<int> MessageBoxButtons(HWND hBox)
{
    std::vector<int> ids;
    ::EnumChildWindows(hBox, &CollectButton, reinterpret_cast<LPARAM>(&ids));
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool AnswerMessageBox(DWORD threadId, const std::wstring& caption, int button,
                      std::wstring* text, HWND owner, bool matchOwner, DWORD timeoutMs)
{
    WindowQuery q;
    q.caption = caption;
    q.owner = owner;
    q.matchOwner = matchOwner;
    HWND hBox = WaitForWindow(threadId, q, timeoutMs);
    if (hBox == nullptr)
        return false;
    if (text != nullptr)
        *text = MessageBoxText(hBox);
    HWND hButton = ::GetDlgItem(hBox, button);
    return ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                          reinterpret_cast<LPARAM>(hButton))
        && WaitForWindowGone(hBox, timeoutMs);
}

// ---- gtest helpers --------------------------------------------------------------------------

void ExpectText(const char* file, int line, HWND hDlg, int id, const std::wstring& expected)
{
    std::wstring actual = ControlText(hDlg, id);
    if (actual != expected)
        ADD_FAILURE_AT(file, line) << "control " << id << " reads " << ::testing::PrintToString(actual)
                                   << ", expected " << ::testing::PrintToString(expected);
}

void ExpectVisible(const char* file, int line, HWND hDlg, int id, bool visible)
{
    if (::GetDlgItem(hDlg, id) == nullptr)
        ADD_FAILURE_AT(file, line) << "no control " << id;
    else if (IsControlVisible(hDlg, id) != visible)
        ADD_FAILURE_AT(file, line) << "control " << id << " is " << (visible ? "hidden" : "visible");
}

void ExpectEnabled(const char* file, int line, HWND hDlg, int id, bool enabled)
{
    if (::GetDlgItem(hDlg, id) == nullptr)
        ADD_FAILURE_AT(file, line) << "no control " << id;
    else if (IsControlEnabled(hDlg, id) != enabled)
        ADD_FAILURE_AT(file, line) << "control " << id << " is " << (enabled ? "disabled" : "enabled");
}

HWND ExpectDialog(const char* file, int line, DWORD threadId, const std::wstring& caption)
{
    HWND hWnd = WaitForDialog(threadId, caption);
    if (hWnd == nullptr)
        ADD_FAILURE_AT(file, line) << "no dialog " << ::testing::PrintToString(caption) << " appeared";
    return hWnd;
}

void ExpectGone(const char* file, int line, HWND hWnd)
{
    if (!WaitForWindowGone(hWnd))
        ADD_FAILURE_AT(file, line) << "the window is still there";
}

std::wstring ExpectMessageBox(const char* file, int line, DWORD threadId,
                              const std::wstring& caption, int button)
{
    std::wstring text;
    if (!AnswerMessageBox(threadId, caption, button, &text))
        ADD_FAILURE_AT(file, line) << "no message box " << ::testing::PrintToString(caption)
                                   << " to answer";
    return text;
}

} // namespace ui

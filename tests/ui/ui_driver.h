#pragma once
// Drives windows of another thread for window tests: a test runs the modal
// dialog on a UiThread and works it from the test thread as a user would.
// Windows are looked up by thread, never across the whole display, because
// test programs run side by side on one X display.
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

namespace ui {

constexpr DWORD kWaitMs = 10000;    // generous: a cold wine start is slow

// Runs a function on a thread of its own (the thread that owns the windows).
class UiThread {
public:
    explicit UiThread(std::function<void()> body);
    // Ends the thread if it still runs: asks its windows to close, then waits (bounded).
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    DWORD Id() const { return m_id; }
    // TRUE when the thread has ended within the time.
    bool Join(DWORD timeoutMs = kWaitMs);

private:
    static DWORD WINAPI Entry(void* self);
    std::function<void()> m_body;
    HANDLE m_hThread = nullptr;
    DWORD m_id = 0;
};

// What a top-level window must match; empty fields match anything.
struct WindowQuery {
    std::wstring caption;
    std::wstring className = L"#32770";     // dialogs and message boxes
    HWND owner = nullptr;                   // only with matchOwner
    bool matchOwner = false;
    bool visibleOnly = true;
    HWND exclude = nullptr;                 // e.g. the parent dialog itself
};

HWND FindThreadWindow(DWORD threadId, const WindowQuery& query);
// Waits (bounded) for a window of the thread; null on time-out.
HWND WaitForWindow(DWORD threadId, const WindowQuery& query, DWORD timeoutMs = kWaitMs);
HWND WaitForDialog(DWORD threadId, const std::wstring& caption, DWORD timeoutMs = kWaitMs);
// A top-level window of this process on any of its threads (a worker's box).
HWND WaitForProcessWindow(const WindowQuery& query, DWORD timeoutMs = kWaitMs);
bool WaitForWindowGone(HWND hWnd, DWORD timeoutMs = kWaitMs);
// Waits until pred() holds, pumping nothing; FALSE on time-out.
bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs = kWaitMs);

std::wstring WindowText(HWND hWnd);
std::wstring ControlText(HWND hDlg, int id);
bool IsControlVisible(HWND hDlg, int id);
bool IsControlEnabled(HWND hDlg, int id);
HWND Owner(HWND hWnd);

// Presses a button as a click would (BM_CLICK, posted so a handler that opens a
// modal box does not block the caller).
bool ClickButton(HWND hDlg, int id);
// Posts the command itself (WM_COMMAND with BN_CLICKED and the button's handle).
bool SendCommand(HWND hDlg, int id);
// Posts a key press to the focused window of the dialog's thread.
bool PressKey(HWND hDlg, UINT vk);
inline bool PressEscape(HWND hDlg) { return PressKey(hDlg, VK_ESCAPE); }
inline bool PressEnter(HWND hDlg) { return PressKey(hDlg, VK_RETURN); }
// The close box, Alt+F4 and the system menu's Close all send this.
bool CloseWithCloseBox(HWND hWnd);

// Finds the message box of the thread (by caption, and by owner when given),
// returns its text in *text, and presses the button (IDOK, IDYES, IDNO...).
bool AnswerMessageBox(DWORD threadId, const std::wstring& caption, int button,
                      std::wstring* text = nullptr, HWND owner = nullptr,
                      bool matchOwner = false, DWORD timeoutMs = kWaitMs);
// The static texts of a message box, joined.
std::wstring MessageBoxText(HWND hBox);
// The icon a message box shows; null when it shows none.
HICON MessageBoxIcon(HWND hBox);
// The ids of the buttons a message box shows, in ascending order.
std::vector<int> MessageBoxButtons(HWND hBox);

// gtest helpers that report at the caller's line.
void ExpectText(const char* file, int line, HWND hDlg, int id, const std::wstring& expected);
void ExpectVisible(const char* file, int line, HWND hDlg, int id, bool visible);
void ExpectEnabled(const char* file, int line, HWND hDlg, int id, bool enabled);
HWND ExpectDialog(const char* file, int line, DWORD threadId, const std::wstring& caption);
void ExpectGone(const char* file, int line, HWND hWnd);
std::wstring ExpectMessageBox(const char* file, int line, DWORD threadId,
                              const std::wstring& caption, int button);

} // namespace ui

#define UI_EXPECT_TEXT(dlg, id, text) ::ui::ExpectText(__FILE__, __LINE__, dlg, id, text)
#define UI_EXPECT_VISIBLE(dlg, id) ::ui::ExpectVisible(__FILE__, __LINE__, dlg, id, true)
#define UI_EXPECT_HIDDEN(dlg, id) ::ui::ExpectVisible(__FILE__, __LINE__, dlg, id, false)
#define UI_EXPECT_ENABLED(dlg, id) ::ui::ExpectEnabled(__FILE__, __LINE__, dlg, id, true)
#define UI_EXPECT_DISABLED(dlg, id) ::ui::ExpectEnabled(__FILE__, __LINE__, dlg, id, false)
// Waits for a dialog of the thread with the caption; fails at the caller's line.
#define UI_WAIT_DIALOG(threadId, caption) ::ui::ExpectDialog(__FILE__, __LINE__, threadId, caption)
#define UI_EXPECT_GONE(hwnd) ::ui::ExpectGone(__FILE__, __LINE__, hwnd)
// Answers the thread's message box with the caption; yields its text.
#define UI_ANSWER_BOX(threadId, caption, button) \
    ::ui::ExpectMessageBox(__FILE__, __LINE__, threadId, caption, button)

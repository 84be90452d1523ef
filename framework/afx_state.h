#pragma once
// Framework state shared by its own source files.
#include <windows.h>

class CWnd;

// The message a window procedure of this thread is handling now; what
// CWnd::Default passes on.
struct AfxCurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
AfxCurrentMessage& AfxCurrentMsg();

// Restores the thread's current message when a (possibly nested) dispatch ends.
class AfxCurrentMessageScope {
public:
    AfxCurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
        : m_saved(AfxCurrentMsg())
    {
        AfxCurrentMsg() = AfxCurrentMessage{hWnd, message, wParam, lParam};
    }
    ~AfxCurrentMessageScope() { AfxCurrentMsg() = m_saved; }
    AfxCurrentMessageScope(const AfxCurrentMessageScope&) = delete;
    AfxCurrentMessageScope& operator=(const AfxCurrentMessageScope&) = delete;

private:
    AfxCurrentMessage m_saved;
};

// Detaches every attached wrapper whose window no longer exists.
void AfxDetachDeadWindows();
// Clears the application's main-window pointer if it names pWnd.
void AfxForgetMainWnd(CWnd* pWnd);

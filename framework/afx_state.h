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

// Makes a message the thread's current one while its handler runs, and
// restores the one before when the (possibly nested) dispatch ends. The end
// of the outermost dispatch frees the thread's temporary wrappers.
class AfxCurrentMessageScope {
public:
    AfxCurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    ~AfxCurrentMessageScope();
    AfxCurrentMessageScope(const AfxCurrentMessageScope&) = delete;
    AfxCurrentMessageScope& operator=(const AfxCurrentMessageScope&) = delete;

private:
    AfxCurrentMessage m_saved;
};

// Detaches every wrapper of this thread whose window no longer exists.
void AfxDetachDeadWindows();
// Clears the application's main-window pointer if it names pWnd.
void AfxForgetMainWnd(CWnd* pWnd);

#pragma once
// Private messages of the main dialog.
#include <windows.h>

// The worker's failure notice: wParam 0, lParam 0. The handler shows the
// error tip and returns only when the user has closed it.
#define WM_UPDATE_ERROR (WM_USER + 8)

// A window operation that the worker asks the window's thread to carry out:
// wParam a WindowOp code, lParam its argument (see DialogUpdateWindow).
#define WM_UPDATE_WINDOW_OP (WM_APP + 1)

enum WindowOp : WPARAM {
    WINDOW_OP_KILL_TIMER = 1,     // lParam: the timer id
    WINDOW_OP_CLOSE = 2,          // lParam: 0
    WINDOW_OP_READ_FOLDER = 3,    // lParam: wchar_t[256] that receives the folder
    WINDOW_OP_STORE_PATH = 4,     // lParam: const wchar_t[256], the database path
    WINDOW_OP_SET_DONE = 5,       // lParam: 0
};

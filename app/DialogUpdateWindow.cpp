#include "DialogUpdateWindow.h"

#include <commctrl.h>

#include "afxwin.h"
#include "app_messages.h"

void DialogUpdateWindow::EnableControl(int id, BOOL enable)
{
    if (HWND control = Control(id))
        ::EnableWindow(control, enable);
}

void DialogUpdateWindow::ShowControl(int id)
{
    if (HWND control = Control(id))
        ::ShowWindow(control, SW_SHOW);
}

void DialogUpdateWindow::SetControlText(int id, const wchar_t* text)
{
    if (HWND control = Control(id))
        ::SetWindowTextW(control, text);
}

void DialogUpdateWindow::SetBarRange(int barId, WORD upper)
{
    if (HWND bar = Control(barId))
        ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, upper));
}

void DialogUpdateWindow::SetBarPos(int barId, int pos)
{
    if (HWND bar = Control(barId))
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

// Timers belong to the window's thread: only it can stop them.
void DialogUpdateWindow::StopTimer(UINT_PTR timerId)
{
    ::SendMessageW(m_dialog, WM_UPDATE_WINDOW_OP, WINDOW_OP_KILL_TIMER, static_cast<LPARAM>(timerId));
}

void DialogUpdateWindow::ReportFailedWrite()
{
    ::SendMessageW(m_dialog, WM_UPDATE_ERROR, 0, 0);
}

void DialogUpdateWindow::CloseDialog()
{
    ::SendMessageW(m_dialog, WM_UPDATE_WINDOW_OP, WINDOW_OP_CLOSE, 0);
}

void DialogUpdateWindow::ShowMessage(const wchar_t* text)
{
    AfxMessageBox(text, MB_OK, 0);
}

void DialogUpdateWindow::ReadModuleDir(wchar_t (&dir)[256])
{
    dir[0] = L'\0';
    ::SendMessageW(m_dialog, WM_UPDATE_WINDOW_OP, WINDOW_OP_READ_FOLDER, reinterpret_cast<LPARAM>(dir));
}

void DialogUpdateWindow::StoreDatabasePath(const wchar_t (&path)[256])
{
    ::SendMessageW(m_dialog, WM_UPDATE_WINDOW_OP, WINDOW_OP_STORE_PATH, reinterpret_cast<LPARAM>(path));
}

void DialogUpdateWindow::SetUpdateDone()
{
    ::SendMessageW(m_dialog, WM_UPDATE_WINDOW_OP, WINDOW_OP_SET_DONE, 0);
}

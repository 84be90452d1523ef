#pragma once
// The window operations a worker performs on the main dialog. It holds only
// the dialog's window handle: every operation is a message to that window
// or to one of its controls, carried out by the window's thread before the
// call returns, and a harmless failure once the window is gone. So a worker
// still running after the dialog closed never reaches the dialog object.
#include "worker_window.h"

class DialogUpdateWindow : public WorkerWindow {
public:
    explicit DialogUpdateWindow(HWND dialog) : m_dialog(dialog) {}

    void EnableControl(int id, BOOL enable) override;
    void ShowControl(int id) override;
    void SetControlText(int id, const wchar_t* text) override;
    void SetBarRange(int barId, WORD upper) override;
    void SetBarPos(int barId, int pos) override;
    void StopTimer(UINT_PTR timerId) override;
    void ReportFailedWrite() override;
    void CloseDialog() override;
    void ShowMessage(const wchar_t* text) override;
    void ReadModuleDir(wchar_t (&dir)[256]) override;
    void StoreDatabasePath(const wchar_t (&path)[256]) override;
    void SetUpdateDone() override;

private:
    HWND Control(int id) const { return GetDlgItem(m_dialog, id); }
    HWND m_dialog;
};

#pragma once
// What the update worker needs of the main window. The main dialog supplies
// an object of this kind for each worker it starts; every call may be made
// from the worker's thread and has taken effect on the window when it
// returns. The object must stay safe to call after the dialog has closed
// (its calls then do nothing), because nothing waits for the worker: the
// worker owns the object and deletes it when it ends.
#include <windows.h>

class WorkerWindow {
public:
    virtual ~WorkerWindow() = default;

    virtual void EnableControl(int id, BOOL enable) = 0;           // Start, Cancel
    virtual void ShowControl(int id) = 0;                          // status lines and bars (SW_SHOW)
    virtual void SetControlText(int id, const wchar_t* text) = 0;  // whole text replaced
    virtual void SetBarRange(int barId, WORD upper) = 0;           // PBM_SETRANGE 0..upper
    virtual void SetBarPos(int barId, int pos) = 0;                // PBM_SETPOS
    virtual void StopTimer(UINT_PTR timerId) = 0;                  // KillTimer on the dialog's window
    virtual void ReportFailedWrite() = 0;                          // WM_UPDATE_ERROR, returns once handled
    virtual void CloseDialog() = 0;                                // ends the modal loop with IDCANCEL
    virtual void ShowMessage(const wchar_t* text) = 0;             // framework message box, MB_OK, no owner

    // The dialog's fields: the tool's folder (with its trailing backslash),
    // the database path buffer, and the finished flag.
    virtual void ReadModuleDir(wchar_t (&dir)[256]) = 0;
    virtual void StoreDatabasePath(const wchar_t (&path)[256]) = 0;
    virtual void SetUpdateDone() = 0;
};

#pragma once
// What a press of Start does: close the window after a finished update, or
// look for the unit and hand the update to a worker thread.
#include <windows.h>

#include "worker_window.h"

class StartHost {
public:
    virtual int UpdateDoneFlag() = 0;                   // the dialog's finished flag
    virtual void Cancel() = 0;                          // the framework's OnCancel
    virtual void ShowMessage(const wchar_t* text) = 0;  // framework message box, MB_OK
    virtual void StartTimer(UINT_PTR timerId, UINT periodMs) = 0;
    virtual WorkerWindow* NewWorkerWindow() = 0;        // heap, owned by the worker; null if it cannot be made

protected:
    ~StartHost() = default;
};

void OnStartPressed(StartHost& host);

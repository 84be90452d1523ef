#pragma once
// One whole update, run on a worker thread: the database file and the three
// embedded images written region by region, then the closing commands.
#include <windows.h>

#include "worker_window.h"

// Thread entry. `param` is a heap WorkerWindow that the worker owns and
// deletes when it ends. Returns 1 when the update ran to its end, else 0.
DWORD WINAPI UpdateThreadProc(LPVOID param);

// The update itself, on the calling thread.
DWORD RunUpdate(WorkerWindow& window);

// True from the moment Start hands an update to a worker until that worker
// ends: a second press queued before the worker disabled Start must not run
// a second update on the same unit.
bool UpdateWorkerRunning();
bool ClaimUpdateWorker();
void ReleaseUpdateWorker();

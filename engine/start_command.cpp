#include "start_command.h"

#include "hid_io.h"
#include "progress_model.h"
#include "update_state.h"
#include "update_texts.h"
#include "update_worker.h"

namespace {

// Entry 0 stands for "no unit": a device answering to it ends the search
// there, so only entry 1 can start an update. The index is not cleared
// first: a search that finds nothing keeps the last one found.
void SearchForUnit(CHidCmd& cmd)
{
    for (int index = 0; index <= 1; ++index) {
        if (cmd.m_hid.OpenDevice(g_productIds[index])) {
            g_deviceIndex = index;
            cmd.m_hid.CloseDevice();
            return;
        }
    }
}

void LaunchWorker(StartHost& host)
{
    if (!ClaimUpdateWorker())
        return;
    WorkerWindow* window = host.NewWorkerWindow();
    HANDLE thread = window ? CreateThread(nullptr, 0, UpdateThreadProc, window, 0, nullptr) : nullptr;
    if (thread == nullptr) {
        delete window;
        ReleaseUpdateWorker();
        return;
    }
    CloseHandle(thread);  // nothing waits for the worker
}

} // namespace

void OnStartPressed(StartHost& host)
{
    if (host.UpdateDoneFlag() == 1) {
        host.Cancel();
        return;
    }
    // A press queued before the running worker disabled Start.
    if (UpdateWorkerRunning())
        return;

    CHidCmd cmd;
    SearchForUnit(cmd);
    if (g_deviceIndex == 0) {
        host.ShowMessage(kNoDeviceText);
        return;
    }
    host.StartTimer(TIMER_PROGRESS, kTimerPeriodMs);
    host.StartTimer(TIMER_ERASE_PROGRESS, kTimerPeriodMs);
    LaunchWorker(host);
}

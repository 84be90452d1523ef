#pragma once
// The worker's window for a benchmark: no controls, a tool folder of our
// choosing, and a note of anything that tells of a failed update.
#include <atomic>
#include <string>

#include "worker_window.h"

class BenchWindow : public WorkerWindow {
public:
    explicit BenchWindow(std::wstring moduleDir) : m_moduleDir(std::move(moduleDir)) {}

    void EnableControl(int, BOOL) override { ++calls; }
    void ShowControl(int) override { ++calls; }
    void SetControlText(int, const wchar_t*) override { ++calls; }
    void SetBarRange(int, WORD) override { ++calls; }
    void SetBarPos(int, int) override { ++calls; }
    void StopTimer(UINT_PTR) override { ++calls; }
    void ReportFailedWrite() override { ++calls; failed = true; }
    void CloseDialog() override { ++calls; }
    void ShowMessage(const wchar_t*) override { ++calls; failed = true; }
    void ReadModuleDir(wchar_t (&dir)[256]) override
    {
        const std::size_t length = m_moduleDir.copy(dir, 255);
        dir[length] = L'\0';
    }
    void StoreDatabasePath(const wchar_t (&)[256]) override {}
    void SetUpdateDone() override { ++calls; done = true; }

    std::atomic<int> calls{0};
    std::atomic<bool> failed{false};
    std::atomic<bool> done{false};

private:
    std::wstring m_moduleDir;
};

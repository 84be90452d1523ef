#pragma once
// A window for the worker that records every operation as a line of UTF-8
// text, so that tests can compare what the user would have seen, in order.
// The lines live in a WindowLog that outlives the window: a worker started
// by Start owns its window and deletes it when it ends.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "worker_window.h"

inline std::string Utf8(const wchar_t* text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    return out;
}

class WindowLog {
public:
    // Called on the worker's thread before each line is kept; set it before
    // the worker starts. A test may block in it to hold the worker.
    std::function<void(const std::string&)> hook;

    void Add(std::string line)
    {
        if (hook)
            hook(line);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(std::move(line));
    }
    std::vector<std::string> Lines() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    bool Has(const std::string& line) const
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    void SetDatabasePath(const wchar_t* path)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_databasePath = path;
    }
    std::wstring DatabasePath() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_databasePath;
    }
    void MarkReleased()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    // True once the window was deleted, within the time given.
    bool WaitReleased(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] { return m_released; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    std::wstring m_databasePath;
    bool m_released = false;
};

class RecordingWindow : public WorkerWindow {
public:
    explicit RecordingWindow(std::wstring moduleDir = L"C:\\tool\\",
                             std::shared_ptr<WindowLog> log = std::make_shared<WindowLog>())
        : m_moduleDir(std::move(moduleDir)), m_log(std::move(log))
    {
    }
    ~RecordingWindow() override { m_log->MarkReleased(); }

    void EnableControl(int id, BOOL enable) override { Add("enable " + std::to_string(id) + (enable ? " on" : " off")); }
    void ShowControl(int id) override { Add("show " + std::to_string(id)); }
    void SetControlText(int id, const wchar_t* text) override { Add("text " + std::to_string(id) + " " + Utf8(text)); }
    void SetBarRange(int barId, WORD upper) override { Add("range " + std::to_string(barId) + " " + std::to_string(upper)); }
    void SetBarPos(int barId, int pos) override { Add("pos " + std::to_string(barId) + " " + std::to_string(pos)); }
    void StopTimer(UINT_PTR timerId) override { Add("kill " + std::to_string(timerId)); }
    void ReportFailedWrite() override { Add("error tip"); }
    void CloseDialog() override { Add("close"); }
    void ShowMessage(const wchar_t* text) override { Add("message " + Utf8(text)); }
    void ReadModuleDir(wchar_t (&dir)[256]) override
    {
        const std::size_t n = std::min<std::size_t>(m_moduleDir.size(), 255);
        m_moduleDir.copy(dir, n);
        dir[n] = L'\0';
    }
    void StoreDatabasePath(const wchar_t (&path)[256]) override { m_log->SetDatabasePath(path); }
    void SetUpdateDone() override { Add("done"); }

    const std::shared_ptr<WindowLog>& Log() const { return m_log; }
    std::vector<std::string> Lines() const { return m_log->Lines(); }

private:
    void Add(std::string line) { m_log->Add(std::move(line)); }

    std::wstring m_moduleDir;
    std::shared_ptr<WindowLog> m_log;
};

#pragma once
// Sits between the link and the simulated bus and notes the update state at
// the moment each command report is written, so tests can see what the
// worker had stored before it sent that command.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "hid_platform.h"
#include "update_state.h"

struct StateSample {
    std::uint16_t command;
    std::uint32_t param2;
    int stage, phase, progress;
    int databasePages, firmwarePages, audioPages, radarPages;

    std::string Text() const
    {
        char text[128];
        std::snprintf(text, sizeof text, "%04x/%u: stage %d phase %d progress %d pages %d %d %d %d", command,
                      param2, stage, phase, progress, databasePages, firmwarePages, audioPages, radarPages);
        return text;
    }
};

class StateSampler final : public HidPlatform {
public:
    StateSampler() : m_next(HidSetPlatform(this)) {}
    ~StateSampler() override { HidSetPlatform(m_next); }
    StateSampler(const StateSampler&) = delete;
    StateSampler& operator=(const StateSampler&) = delete;

    std::vector<std::string> Samples() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples;
    }

    BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED ov) override
    {
        const auto* report = static_cast<const unsigned char*>(buffer);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_pendingData > 0) {
                --m_pendingData;
            } else if (report) {
                const std::uint16_t code = std::uint16_t(report[1] | report[2] << 8);
                const std::uint32_t param2 = Le32(report + 7);
                m_samples.push_back(StateSample{code, param2, g_nStage, g_nPhase, g_nProgress, g_nDatabasePages,
                                                g_nFirmwarePages, g_nAudioPages, g_nRadarPages}
                                        .Text());
                m_sentCommand = code == 0x0EE3 ? param2 : 0;
            }
        }
        const BOOL ok = m_next->WriteFile(file, buffer, bytes, written, ov);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_sentCommand != 0 && ok)
            m_pendingData = std::uint64_t(m_sentCommand) * 4;
        m_sentCommand = 0;
        return ok;
    }

    void HidD_GetHidGuid(GUID* guid) override { m_next->HidD_GetHidGuid(guid); }
    HDEVINFO SetupDiGetClassDevsW(const GUID* g, PCWSTR e, HWND p, DWORD f) override
    {
        return m_next->SetupDiGetClassDevsW(g, e, p, f);
    }
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO s, PSP_DEVINFO_DATA d, const GUID* g, DWORD i,
                                     PSP_DEVICE_INTERFACE_DATA data) override
    {
        return m_next->SetupDiEnumDeviceInterfaces(s, d, g, i, data);
    }
    BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO s, PSP_DEVICE_INTERFACE_DATA i,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W d, DWORD n, PDWORD r,
                                          PSP_DEVINFO_DATA info) override
    {
        return m_next->SetupDiGetDeviceInterfaceDetailW(s, i, d, n, r, info);
    }
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO s) override { return m_next->SetupDiDestroyDeviceInfoList(s); }
    HANDLE CreateFileW(LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d, DWORD f, HANDLE t) override
    {
        return m_next->CreateFileW(p, a, s, sa, d, f, t);
    }
    BOOLEAN HidD_GetAttributes(HANDLE h, PHIDD_ATTRIBUTES a) override { return m_next->HidD_GetAttributes(h, a); }
    HANDLE CreateEventW(LPSECURITY_ATTRIBUTES s, BOOL m, BOOL i, LPCWSTR n) override
    {
        return m_next->CreateEventW(s, m, i, n);
    }
    DWORD WaitForMultipleObjects(DWORD c, const HANDLE* h, BOOL all, DWORD ms) override
    {
        return m_next->WaitForMultipleObjects(c, h, all, ms);
    }
    BOOL ResetEvent(HANDLE e) override { return m_next->ResetEvent(e); }
    BOOL GetOverlappedResult(HANDLE f, LPOVERLAPPED o, LPDWORD n, BOOL w) override
    {
        return m_next->GetOverlappedResult(f, o, n, w);
    }
    BOOL CancelIo(HANDLE f) override { return m_next->CancelIo(f); }
    BOOL CloseHandle(HANDLE h) override { return m_next->CloseHandle(h); }
    void OutputDebugStringW(LPCWSTR t) override { m_next->OutputDebugStringW(t); }
    void StdOutLine(const char* line) override { m_next->StdOutLine(line); }

private:
    static std::uint32_t Le32(const unsigned char* p)
    {
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    }

    HidPlatform* m_next;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_samples;
    std::uint64_t m_pendingData = 0;
    std::uint32_t m_sentCommand = 0;
};

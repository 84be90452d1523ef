#include "hid_platform.h"

#include <atomic>
#include <cstdio>

namespace {

class RealHidPlatform final : public HidPlatform {
public:
    void HidD_GetHidGuid(GUID* guid) override { ::HidD_GetHidGuid(guid); }

    HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                  DWORD flags) override
    {
        return ::SetupDiGetClassDevsW(classGuid, enumerator, parent, flags);
    }

    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                     const GUID* classGuid, DWORD memberIndex,
                                     PSP_DEVICE_INTERFACE_DATA interfaceData) override
    {
        return ::SetupDiEnumDeviceInterfaces(set, deviceInfo, classGuid, memberIndex,
                                             interfaceData);
    }

    BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                          DWORD detailSize, PDWORD requiredSize,
                                          PSP_DEVINFO_DATA deviceInfo) override
    {
        return ::SetupDiGetDeviceInterfaceDetailW(set, interfaceData, detail, detailSize,
                                                  requiredSize, deviceInfo);
    }

    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) override
    {
        return ::SetupDiDestroyDeviceInfoList(set);
    }

    HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override
    {
        return ::CreateFileW(path, access, share, security, disposition, flags, templateFile);
    }

    BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) override
    {
        return ::HidD_GetAttributes(device, attributes);
    }

    HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                        LPCWSTR name) override
    {
        return ::CreateEventW(security, manualReset, initialState, name);
    }

    BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                   LPOVERLAPPED overlapped) override
    {
        return ::WriteFile(file, buffer, bytesToWrite, bytesWritten, overlapped);
    }

    DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                 DWORD milliseconds) override
    {
        return ::WaitForMultipleObjects(count, handles, waitAll, milliseconds);
    }

    BOOL ResetEvent(HANDLE event) override { return ::ResetEvent(event); }

    BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                             BOOL wait) override
    {
        return ::GetOverlappedResult(file, overlapped, bytesTransferred, wait);
    }

    BOOL CancelIo(HANDLE file) override { return ::CancelIo(file); }
    BOOL CloseHandle(HANDLE object) override { return ::CloseHandle(object); }
    void OutputDebugStringW(LPCWSTR text) override { ::OutputDebugStringW(text); }

    void StdOutLine(const char* line) override
    {
        std::fputs(line, stdout);
        std::fflush(stdout);
    }
};

// Null stands for the real platform, so that no static initialisation order
// can leave the link without one.
std::atomic<HidPlatform*> g_platform{nullptr};

} // namespace

HidPlatform& HidRealPlatform()
{
    // Never destroyed: a worker still writing while the process exits must
    // not find the platform torn down under it by the static destructors.
    static RealHidPlatform* const real = new RealHidPlatform;
    return *real;
}

HidPlatform& HidGetPlatform()
{
    HidPlatform* platform = g_platform.load();
    return platform ? *platform : HidRealPlatform();
}

HidPlatform* HidSetPlatform(HidPlatform* platform)
{
    HidPlatform* previous = g_platform.exchange(platform);
    return previous ? previous : &HidRealPlatform();
}

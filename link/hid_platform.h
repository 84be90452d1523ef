#pragma once
// Every platform call the link makes, in one table. The shipped program uses
// the real functions; tests install a simulated HID bus in their place.
#include <windows.h>
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}

class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    virtual void HidD_GetHidGuid(GUID* guid) = 0;
    virtual HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator,
                                          HWND parent, DWORD flags) = 0;
    virtual BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                             const GUID* classGuid, DWORD memberIndex,
                                             PSP_DEVICE_INTERFACE_DATA interfaceData) = 0;
    virtual BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set,
                                                  PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                                  DWORD detailSize, PDWORD requiredSize,
                                                  PSP_DEVINFO_DATA deviceInfo) = 0;
    virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) = 0;
    virtual HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share,
                               LPSECURITY_ATTRIBUTES security, DWORD disposition,
                               DWORD flags, HANDLE templateFile) = 0;
    virtual BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) = 0;
    virtual HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset,
                                BOOL initialState, LPCWSTR name) = 0;
    virtual BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite,
                           LPDWORD bytesWritten, LPOVERLAPPED overlapped) = 0;
    virtual DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                         DWORD milliseconds) = 0;
    virtual BOOL ResetEvent(HANDLE event) = 0;
    virtual BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped,
                                     LPDWORD bytesTransferred, BOOL wait) = 0;
    virtual BOOL CancelIo(HANDLE file) = 0;
    virtual BOOL CloseHandle(HANDLE object) = 0;
    virtual void OutputDebugStringW(LPCWSTR text) = 0;
    // One finished 8-bit line for standard output.
    virtual void StdOutLine(const char* line) = 0;

    // HANDLE is void*, so the address of a handle field would be accepted
    // where the handle is meant; these overloads turn that slip into an error.
    BOOL ResetEvent(HANDLE* event) = delete;
    BOOL CancelIo(HANDLE* file) = delete;
    BOOL CloseHandle(HANDLE* object) = delete;
};

// The platform the link calls now: the real one unless a test installed its own.
HidPlatform& HidGetPlatform();

// Installs a platform (nullptr puts the real one back) and returns the one it replaced.
HidPlatform* HidSetPlatform(HidPlatform* platform);

HidPlatform& HidRealPlatform();

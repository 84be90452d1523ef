#pragma once
// A simulated HID bus with the unit's bootloader on it, for tests and
// benchmarks. Constructing a SimHidBus puts it in place of the real platform
// under the link; destroying it puts the real platform back. Only one bus is
// installed at a time.
//
// The bus holds any number of device interfaces that can be plugged in and
// unplugged at any time, from any thread. Each device is also a simulated
// unit: it decodes every report written to it as the bootloader has to
// (command frames, then four data reports per page into a page store) and
// records anything malformed as a protocol violation. An erase command sets
// the erased sectors' pages back to 0xFF. Every handle and event
// the link obtains is a handle of the bus, so tests can see what is open, in
// which order calls were made, and what the link traced.
#include <windows.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hid_platform.h"

struct SimDeviceConfig {
    std::wstring path;  // empty: one of the usual form is made up
    std::uint16_t vendorId = 0x0483;
    std::uint16_t productId = 0x5780;
    bool refuseQueryOpen = false;   // CreateFileW with access 0 fails
    bool refuseAttributes = false;  // HidD_GetAttributes fails
    bool refuseReadOpen = false;    // CreateFileW with GENERIC_READ fails
    bool refuseWriteOpen = false;   // CreateFileW with GENERIC_WRITE fails
    bool noDetailSize = false;      // the sizing detail call fails without giving a size
    bool refuseDetail = false;      // the detail call with a block fails
};

// One command the unit decoded.
struct SimCommand {
    std::uint16_t code;
    std::uint32_t param1;
    std::uint32_t param2;
    bool operator==(const SimCommand& other) const
    {
        return code == other.code && param1 == other.param1 && param2 == other.param2;
    }
};

enum class SimCall {
    GetHidGuid,
    GetClassDevs,
    EnumInterfaces,
    GetInterfaceDetail,
    DestroyInterfaceSet,
    CreateFile,
    GetAttributes,
    CreateEvent,
    WriteFile,
    Wait,
    ResetEvent,
    GetOverlappedResult,
    CancelIo,
    CloseHandle,
    DebugString,
    StdOut,
};

enum class SimHandleKind { None, InterfaceSet, QueryHandle, ReadHandle, WriteHandle, Event };

// One platform call as the bus saw it. Fields that do not apply to a call are 0.
struct SimCallRecord {
    SimCall call;
    HANDLE handle;        // the handle given to the call, or the one it returned
    SimHandleKind kind;   // what that handle was when the call was made
    int device;           // the device the handle or path belongs to; 0 for none
    DWORD access;         // CreateFileW
    DWORD share;          // CreateFileW
    DWORD disposition;    // CreateFileW
    DWORD flags;          // CreateFileW flags and attributes; SetupDiGetClassDevsW flags
    DWORD length;         // WriteFile bytes; WaitForMultipleObjects handle count
    DWORD timeout;        // WaitForMultipleObjects
    HANDLE second;        // WaitForMultipleObjects: the second handle of the list
    bool countPointer;    // WriteFile was given a count pointer
    DWORD result;         // BOOL result, wait result, or CreateFileW: 1 opened, 0 refused
};

// A short word for a call, for asserting call order: "CreateFile#2:write",
// "CancelIo:read", "CloseHandle:event", "Wait", ...
std::string SimDescribe(const SimCallRecord& record);
std::vector<std::string> SimDescribe(const std::vector<SimCallRecord>& records);

// How the bus fails one report write.
enum class SimWriteFault {
    Refuse,      // WriteFile returns FALSE; the unit does not take the report
    NoSignal,    // the report is taken but the write event is never signalled
    Abort,       // the report is taken and the writer's abort event is signalled too
    ShortCount,  // the report is taken; GetOverlappedResult gives another count
};

class SimHidBus final : public HidPlatform {
public:
    SimHidBus();
    ~SimHidBus() override;
    SimHidBus(const SimHidBus&) = delete;
    SimHidBus& operator=(const SimHidBus&) = delete;

    // --- the bus ---------------------------------------------------------
    // Plugs in a device interface (after those present); returns its id (1, 2, ...).
    int AddDevice(const SimDeviceConfig& config = SimDeviceConfig());
    // Changes what the device refuses; the unit's memory and logs stay.
    void ReconfigureDevice(int device, const SimDeviceConfig& config);
    // The device disappears: no longer listed, opened or written to.
    void Unplug(int device);
    void Replug(int device);
    // The device disappears once it has taken this many more reports.
    void UnplugAfterReports(int device, std::uint64_t reports);
    // The making of the interface set fails from now on (or no longer).
    void FailInterfaceListing(bool fail);
    // Fails the nth WriteFile call from now on the bus (1: the next one).
    // For ShortCount, count is what GetOverlappedResult gives.
    void FailWrite(std::uint64_t nth, SimWriteFault fault, DWORD count = 0);
    // Fails the nth WriteFile from now and every one after it.
    void FailWritesFrom(std::uint64_t nth, SimWriteFault fault, DWORD count = 0);
    // Time the unit spends on each report before the write completes.
    void SetDeviceDelayMicros(unsigned micros);
    // The write of the device's reportth report (counting from 1) waits,
    // before the unit takes it, until ReleaseHold: a test can look at the
    // tool while a transfer stands still at a known point.
    void HoldBeforeReport(int device, std::uint64_t report);
    bool IsHolding() const;
    void ReleaseHold();
    // Keeps the call log, the trace lines and the raw reports (on by default;
    // a benchmark turns it off).
    void SetRecording(bool on);

    // --- the unit ------------------------------------------------------
    std::vector<SimCommand> Commands(int device) const;
    std::uint64_t ReportsTaken(int device) const;
    std::uint64_t DataReportsTaken(int device) const;
    // Data reports that the last write-pages command announced and that have not come.
    std::uint64_t PendingDataReports(int device) const;
    // Transfers cut short: a command report came while data reports were due.
    // The unit takes it as a command and drops the rest of the transfer.
    std::uint64_t AbandonedTransfers(int device) const;
    // Every report the unit took, in order (while recording).
    std::vector<std::array<unsigned char, 65>> RawReports(int device) const;
    // pageCount pages of the unit's memory from firstPage; erased bytes read 0xFF.
    std::vector<unsigned char> Flash(int device, std::uint32_t firstPage, std::uint32_t pageCount) const;
    std::size_t PagesWritten(int device) const;
    // Malformed reports, each with the device and the report's number.
    std::vector<std::string> ProtocolViolations() const;

    // --- bookkeeping ----------------------------------------------------
    // Platform misuse: unknown or closed handles, wrong record sizes, writes
    // on handles not opened for writing, waits that could never end.
    std::vector<std::string> Misuse() const;
    std::size_t OpenHandles() const;  // of every kind
    std::size_t OpenHandles(SimHandleKind kind) const;
    bool IsOpen(HANDLE handle) const;
    bool IsSignalled(HANDLE event) const;
    void SignalEvent(HANDLE event);
    std::uint64_t WriteCalls() const;

    std::vector<SimCallRecord> Calls() const;
    std::vector<SimCallRecord> Calls(SimCall call) const;
    std::size_t CallCount(SimCall call) const;
    void ClearCalls();

    // --- trace capture --------------------------------------------------
    std::vector<std::wstring> DebugLines() const;
    std::vector<std::string> StdOutLines() const;
    void ClearTraces();

    // --- the platform -----------------------------------------------------
    void HidD_GetHidGuid(GUID* guid) override;
    HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                  DWORD flags) override;
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                     const GUID* classGuid, DWORD memberIndex,
                                     PSP_DEVICE_INTERFACE_DATA interfaceData) override;
    BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                          DWORD detailSize, PDWORD requiredSize,
                                          PSP_DEVINFO_DATA deviceInfo) override;
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) override;
    HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override;
    BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) override;
    HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                        LPCWSTR name) override;
    BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                   LPOVERLAPPED overlapped) override;
    DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                 DWORD milliseconds) override;
    BOOL ResetEvent(HANDLE event) override;
    BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                             BOOL wait) override;
    BOOL CancelIo(HANDLE file) override;
    BOOL CloseHandle(HANDLE object) override;
    void OutputDebugStringW(LPCWSTR text) override;
    void StdOutLine(const char* line) override;

private:
    struct Device;
    struct Object;
    struct Fault {
        SimWriteFault fault;
        DWORD count;
    };

    Device* FindDevice(int id) const;
    const Device& DeviceOrEmpty(int id) const;
    Object* FindObject(HANDLE handle);
    const Object* FindObject(HANDLE handle) const;
    HANDLE NewHandle(SimHandleKind kind, int device);
    void Log(const SimCallRecord& record);
    void NoteMisuse(const std::string& what);
    void TakeReport(Device& device, const unsigned char* report);
    bool TakeFault(std::uint64_t ordinal, Fault* fault);

    mutable std::mutex m_mutex;
    HidPlatform* m_previous;
    std::vector<std::unique_ptr<Device>> m_devices;
    std::map<std::uintptr_t, std::unique_ptr<Object>> m_objects;
    std::uintptr_t m_nextHandle = 0x5100;
    std::map<DWORD, HANDLE> m_lastEventOfThread;
    bool m_failListing = false;
    std::map<std::uint64_t, Fault> m_faults;
    std::uint64_t m_faultsFrom = 0;  // 0: none
    Fault m_faultFrom{SimWriteFault::Refuse, 0};
    unsigned m_delayMicros = 0;
    bool m_holding = false;
    std::condition_variable m_holdReleased;
    bool m_recording = true;
    std::uint64_t m_writeCalls = 0;
    std::vector<SimCallRecord> m_calls;
    std::vector<std::string> m_violations;
    std::vector<std::string> m_misuse;
    std::vector<std::wstring> m_debugLines;
    std::vector<std::string> m_stdoutLines;
};

#include "sim_hid_bus.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// The HID interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
const GUID kHidClass = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

constexpr std::size_t kReportSize = 65;
constexpr std::uint32_t kPageBytes = 256;
constexpr std::uint32_t kPagesPerSector = 4096 / kPageBytes;

bool IsKnownCommand(std::uint16_t code)
{
    switch (code) {
    case 0x0E71: case 0x0EE3: case 0x0EB8: case 0x0E26: case 0x0E35: case 0x0E58:
        return true;
    default:
        return false;
    }
}

std::uint32_t Le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// What a well-formed command report looks like: report id 0, a frame with
// "HIDC" and its checksum, 0xCC to the end. Empty when it is one.
std::string CommandReportFault(const unsigned char* report)
{
    if (report[0] != 0)
        return "report id " + std::to_string(report[0]);
    const unsigned char* frame = report + 1;
    if (std::memcmp(frame + 10, "HIDC", 4) != 0)
        return "no HIDC signature";
    std::uint32_t sum = 0;
    for (int i = 0; i < 14; ++i)
        sum += frame[i];
    if (Le32(frame + 14) != sum)
        return "checksum " + std::to_string(Le32(frame + 14)) + " where the bytes sum to " +
               std::to_string(sum);
    for (std::size_t i = 19; i < kReportSize; ++i)
        if (report[i] != 0xCC)
            return "fill byte " + std::to_string(i) + " is " + std::to_string(report[i]);
    const std::uint16_t code = std::uint16_t(frame[0] | frame[1] << 8);
    if (!IsKnownCommand(code))
        return "unknown command " + std::to_string(code);
    return std::string();
}

void SpendMicros(unsigned micros)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::microseconds(micros);
    // Sleeping is coarse; leave the last stretch to a spin.
    if (micros > 3000)
        std::this_thread::sleep_for(std::chrono::microseconds(micros - 2000));
    while (Clock::now() < end) {
    }
}

std::string HandleText(HANDLE h)
{
    char text[32];
    std::snprintf(text, sizeof text, "%p", h);
    return text;
}

} // namespace

struct SimHidBus::Device {
    int id = 0;
    SimDeviceConfig config;
    bool present = true;
    std::uint64_t unplugAfter = 0;  // reports taken at which it vanishes; 0: never
    std::uint64_t holdAt = 0;       // the report whose write waits for ReleaseHold; 0: none

    std::vector<SimCommand> commands;
    std::uint64_t reportsTaken = 0;
    std::uint64_t dataReports = 0;
    std::uint64_t pendingData = 0;
    std::uint64_t abandoned = 0;
    std::uint32_t dataFirstPage = 0;
    std::uint64_t dataIndex = 0;
    std::map<std::uint32_t, std::array<unsigned char, kPageBytes>> pages;
    std::vector<std::array<unsigned char, kReportSize>> raw;
};

struct SimHidBus::Object {
    SimHandleKind kind = SimHandleKind::None;
    int device = 0;
    std::vector<int> members;        // interface set: the devices listed when it was made
    bool signalled = false;          // event
    bool manualReset = true;         // event
    HANDLE nextEvent = nullptr;      // event: the one its thread created right after it
};

SimHidBus::SimHidBus() : m_previous(HidSetPlatform(this)) {}

SimHidBus::~SimHidBus()
{
    ReleaseHold();
    HidSetPlatform(m_previous);
}

// ---------------------------------------------------------------- helpers

SimHidBus::Device* SimHidBus::FindDevice(int id) const
{
    if (id < 1 || id > static_cast<int>(m_devices.size()))
        return nullptr;
    return m_devices[id - 1].get();
}

const SimHidBus::Device& SimHidBus::DeviceOrEmpty(int id) const
{
    static const Device empty;
    const Device* device = FindDevice(id);
    return device ? *device : empty;
}

SimHidBus::Object* SimHidBus::FindObject(HANDLE handle)
{
    auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == m_objects.end() ? nullptr : it->second.get();
}

const SimHidBus::Object* SimHidBus::FindObject(HANDLE handle) const
{
    auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == m_objects.end() ? nullptr : it->second.get();
}

HANDLE SimHidBus::NewHandle(SimHandleKind kind, int device)
{
    const std::uintptr_t value = m_nextHandle;
    m_nextHandle += 4;
    auto object = std::make_unique<Object>();
    object->kind = kind;
    object->device = device;
    m_objects[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

void SimHidBus::Log(const SimCallRecord& record)
{
    if (m_recording)
        m_calls.push_back(record);
}

void SimHidBus::NoteMisuse(const std::string& what)
{
    m_misuse.push_back(what);
}

bool SimHidBus::TakeFault(std::uint64_t ordinal, Fault* fault)
{
    auto it = m_faults.find(ordinal);
    if (it != m_faults.end()) {
        *fault = it->second;
        m_faults.erase(it);
        return true;
    }
    if (m_faultsFrom != 0 && ordinal >= m_faultsFrom) {
        *fault = m_faultFrom;
        return true;
    }
    return false;
}

void SimHidBus::TakeReport(Device& device, const unsigned char* report)
{
    ++device.reportsTaken;
    if (m_recording) {
        std::array<unsigned char, kReportSize> copy;
        std::memcpy(copy.data(), report, kReportSize);
        device.raw.push_back(copy);
    }
    const std::string where =
        "device " + std::to_string(device.id) + ", report " + std::to_string(device.reportsTaken) + ": ";

    // This unit resynchronises: a whole, valid command report ends a transfer
    // that the link gave up, so the commands after a failed write still count.
    if (device.pendingData > 0 && CommandReportFault(report).empty()) {
        ++device.abandoned;
        device.pendingData = 0;
    }
    if (device.pendingData > 0) {
        if (report[0] != 0)
            m_violations.push_back(where + "data report with report id " + std::to_string(report[0]));
        const std::uint32_t page = device.dataFirstPage + std::uint32_t(device.dataIndex / 4);
        const std::size_t part = std::size_t(device.dataIndex % 4) * 64;
        auto inserted = device.pages.emplace(page, std::array<unsigned char, kPageBytes>());
        if (inserted.second)
            inserted.first->second.fill(0xFF);
        std::memcpy(inserted.first->second.data() + part, report + 1, 64);
        ++device.dataIndex;
        --device.pendingData;
        ++device.dataReports;
        return;
    }

    const std::string fault = CommandReportFault(report);
    if (!fault.empty()) {
        m_violations.push_back(where + fault);
        return;
    }
    const unsigned char* frame = report + 1;
    const SimCommand command{std::uint16_t(frame[0] | frame[1] << 8), Le32(frame + 2), Le32(frame + 6)};
    device.commands.push_back(command);
    if (command.code == 0x0EE3) {
        device.pendingData = std::uint64_t(command.param2) * 4;
        device.dataFirstPage = command.param1;
        device.dataIndex = 0;
    } else if (command.code == 0x0E71) {
        const std::uint64_t first = std::uint64_t(command.param1) * kPagesPerSector;
        const std::uint64_t end = first + std::uint64_t(command.param2) * kPagesPerSector;
        auto from = device.pages.lower_bound(std::uint32_t(first > 0xFFFFFFFFu ? 0xFFFFFFFFu : first));
        auto to = end > 0xFFFFFFFFu ? device.pages.end() : device.pages.lower_bound(std::uint32_t(end));
        if (first <= 0xFFFFFFFFu)
            device.pages.erase(from, to);
    }
}

// ---------------------------------------------------------------- the bus

int SimHidBus::AddDevice(const SimDeviceConfig& config)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto device = std::make_unique<Device>();
    device->id = static_cast<int>(m_devices.size()) + 1;
    device->config = config;
    if (device->config.path.empty()) {
        wchar_t path[128];
        std::swprintf(path, 128,
                      L"\\\\?\\hid#vid_%04x&pid_%04x#sim&%d#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                      config.vendorId, config.productId, device->id);
        device->config.path = path;
    }
    m_devices.push_back(std::move(device));
    return static_cast<int>(m_devices.size());
}

void SimHidBus::ReconfigureDevice(int id, const SimDeviceConfig& config)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Device* device = FindDevice(id)) {
        const std::wstring path = device->config.path;
        device->config = config;
        if (device->config.path.empty())
            device->config.path = path;
    }
}

void SimHidBus::Unplug(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Device* device = FindDevice(id))
        device->present = false;
}

void SimHidBus::Replug(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Device* device = FindDevice(id))
        device->present = true;
}

void SimHidBus::UnplugAfterReports(int id, std::uint64_t reports)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Device* device = FindDevice(id)) {
        if (reports == 0)
            device->present = false;
        else
            device->unplugAfter = device->reportsTaken + reports;
    }
}

void SimHidBus::FailInterfaceListing(bool fail)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failListing = fail;
}

void SimHidBus::FailWrite(std::uint64_t nth, SimWriteFault fault, DWORD count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nth > 0)
        m_faults[m_writeCalls + nth] = Fault{fault, count};
}

void SimHidBus::FailWritesFrom(std::uint64_t nth, SimWriteFault fault, DWORD count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nth > 0) {
        m_faultsFrom = m_writeCalls + nth;
        m_faultFrom = Fault{fault, count};
    }
}

void SimHidBus::SetDeviceDelayMicros(unsigned micros)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMicros = micros;
}

void SimHidBus::HoldBeforeReport(int id, std::uint64_t report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Device* device = FindDevice(id))
        device->holdAt = report;
}

bool SimHidBus::IsHolding() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_holding;
}

void SimHidBus::ReleaseHold()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holding = false;
    }
    m_holdReleased.notify_all();
}

void SimHidBus::SetRecording(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recording = on;
}

// ---------------------------------------------------------------- the unit

std::vector<SimCommand> SimHidBus::Commands(int device) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return DeviceOrEmpty(device).commands;
}

std::uint64_t SimHidBus::ReportsTaken(int device) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return DeviceOrEmpty(device).reportsTaken;
}

std::uint64_t SimHidBus::DataReportsTaken(int device) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return DeviceOrEmpty(device).dataReports;
}

std::uint64_t SimHidBus::PendingDataReports(int device) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return DeviceOrEmpty(device).pendingData;
}

std::uint64_t SimHidBus::AbandonedTransfers(int device) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return DeviceOrEmpty(device).abandoned;
}

std::vector<std::array<unsigned char, 65>> SimHidBus::RawReports(int device) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return DeviceOrEmpty(device).raw;
}

std::vector<unsigned char> SimHidBus::Flash(int id, std::uint32_t firstPage, std::uint32_t pageCount) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Device& device = DeviceOrEmpty(id);
    std::vector<unsigned char> bytes(std::size_t(pageCount) * kPageBytes, 0xFF);
    for (std::uint32_t i = 0; i < pageCount; ++i) {
        auto it = device.pages.find(firstPage + i);
        if (it != device.pages.end())
            std::memcpy(bytes.data() + std::size_t(i) * kPageBytes, it->second.data(), kPageBytes);
    }
    return bytes;
}

std::size_t SimHidBus::PagesWritten(int device) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return DeviceOrEmpty(device).pages.size();
}

std::vector<std::string> SimHidBus::ProtocolViolations() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_violations;
}

// ---------------------------------------------------------------- bookkeeping

std::vector<std::string> SimHidBus::Misuse() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_misuse;
}

std::size_t SimHidBus::OpenHandles() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_objects.size();
}

std::size_t SimHidBus::OpenHandles(SimHandleKind kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t count = 0;
    for (const auto& entry : m_objects)
        if (entry.second->kind == kind)
            ++count;
    return count;
}

bool SimHidBus::IsOpen(HANDLE handle) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return FindObject(handle) != nullptr;
}

bool SimHidBus::IsSignalled(HANDLE event) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Object* object = FindObject(event);
    return object && object->kind == SimHandleKind::Event && object->signalled;
}

void SimHidBus::SignalEvent(HANDLE event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Object* object = FindObject(event);
    if (object && object->kind == SimHandleKind::Event)
        object->signalled = true;
}

std::uint64_t SimHidBus::WriteCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writeCalls;
}

std::vector<SimCallRecord> SimHidBus::Calls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

std::vector<SimCallRecord> SimHidBus::Calls(SimCall call) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<SimCallRecord> chosen;
    for (const SimCallRecord& record : m_calls)
        if (record.call == call)
            chosen.push_back(record);
    return chosen;
}

std::size_t SimHidBus::CallCount(SimCall call) const
{
    return Calls(call).size();
}

void SimHidBus::ClearCalls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

std::vector<std::wstring> SimHidBus::DebugLines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_debugLines;
}

std::vector<std::string> SimHidBus::StdOutLines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stdoutLines;
}

void SimHidBus::ClearTraces()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_debugLines.clear();
    m_stdoutLines.clear();
}

// ---------------------------------------------------------------- the platform

void SimHidBus::HidD_GetHidGuid(GUID* guid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Log(SimCallRecord{SimCall::GetHidGuid});
    if (guid)
        *guid = kHidClass;
}

HDEVINFO SimHidBus::SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                         DWORD flags)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::GetClassDevs};
    record.flags = flags;
    if (!classGuid || !IsEqualGUID(*classGuid, kHidClass) || enumerator || parent ||
        flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
        NoteMisuse("SetupDiGetClassDevsW: not the present HID interfaces");
    if (m_failListing) {
        record.handle = INVALID_HANDLE_VALUE;
        Log(record);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE set = NewHandle(SimHandleKind::InterfaceSet, 0);
    Object* object = FindObject(set);
    for (const auto& device : m_devices)
        if (device->present)
            object->members.push_back(device->id);
    record.handle = set;
    record.kind = SimHandleKind::InterfaceSet;
    record.result = 1;
    Log(record);
    return set;
}

BOOL SimHidBus::SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                            const GUID* classGuid, DWORD memberIndex,
                                            PSP_DEVICE_INTERFACE_DATA interfaceData)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::EnumInterfaces, set};
    record.length = memberIndex;
    const Object* object = FindObject(set);
    BOOL result = FALSE;
    if (!object || object->kind != SimHandleKind::InterfaceSet) {
        if (set != INVALID_HANDLE_VALUE)
            NoteMisuse("SetupDiEnumDeviceInterfaces on " + HandleText(set));
        SetLastError(ERROR_INVALID_HANDLE);
    } else if (!interfaceData || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        NoteMisuse("SetupDiEnumDeviceInterfaces: interface record of the wrong size");
        SetLastError(ERROR_INVALID_USER_BUFFER);
    } else if (deviceInfo || !classGuid || !IsEqualGUID(*classGuid, kHidClass)) {
        NoteMisuse("SetupDiEnumDeviceInterfaces: not the HID class");
        SetLastError(ERROR_INVALID_PARAMETER);
    } else if (memberIndex >= object->members.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
    } else {
        interfaceData->InterfaceClassGuid = kHidClass;
        interfaceData->Flags = SPINT_ACTIVE;
        interfaceData->Reserved = static_cast<ULONG_PTR>(object->members[memberIndex]);
        record.device = object->members[memberIndex];
        result = TRUE;
    }
    record.kind = SimHandleKind::InterfaceSet;
    record.result = result;
    Log(record);
    return result;
}

BOOL SimHidBus::SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                 PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                                 DWORD detailSize, PDWORD requiredSize,
                                                 PSP_DEVINFO_DATA deviceInfo)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::GetInterfaceDetail, set, SimHandleKind::InterfaceSet};
    record.length = detailSize;
    auto finish = [&](BOOL result, DWORD error) {
        record.result = result;
        Log(record);
        if (!result)
            SetLastError(error);
        return result;
    };

    const Object* object = FindObject(set);
    if (!object || object->kind != SimHandleKind::InterfaceSet || !interfaceData) {
        NoteMisuse("SetupDiGetDeviceInterfaceDetailW on " + HandleText(set));
        return finish(FALSE, ERROR_INVALID_HANDLE);
    }
    if (deviceInfo)
        NoteMisuse("SetupDiGetDeviceInterfaceDetailW: device record asked for");
    const int id = static_cast<int>(interfaceData->Reserved);
    const Device* device = FindDevice(id);
    bool listed = false;
    for (int member : object->members)
        listed = listed || member == id;
    if (!device || !listed) {
        NoteMisuse("SetupDiGetDeviceInterfaceDetailW: interface record not from this set");
        return finish(FALSE, ERROR_INVALID_PARAMETER);
    }
    record.device = id;
    if (device->config.noDetailSize)
        return finish(FALSE, ERROR_INVALID_PARAMETER);

    const std::wstring& path = device->config.path;
    const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                            (path.size() + 1) * sizeof(wchar_t));
    if (requiredSize)
        *requiredSize = needed;
    if (!detail) {
        if (detailSize != 0)
            NoteMisuse("SetupDiGetDeviceInterfaceDetailW: a size without a block");
        return finish(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        NoteMisuse("SetupDiGetDeviceInterfaceDetailW: detail size field " + std::to_string(detail->cbSize));
        return finish(FALSE, ERROR_INVALID_USER_BUFFER);
    }
    if (detailSize < needed)
        return finish(FALSE, ERROR_INSUFFICIENT_BUFFER);
    if (device->config.refuseDetail)
        return finish(FALSE, ERROR_GEN_FAILURE);
    std::memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    return finish(TRUE, 0);
}

BOOL SimHidBus::SetupDiDestroyDeviceInfoList(HDEVINFO set)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::DestroyInterfaceSet, set};
    auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(set));
    BOOL result = FALSE;
    if (it == m_objects.end() || it->second->kind != SimHandleKind::InterfaceSet) {
        NoteMisuse("SetupDiDestroyDeviceInfoList on " + HandleText(set));
        SetLastError(ERROR_INVALID_HANDLE);
    } else {
        record.kind = SimHandleKind::InterfaceSet;
        m_objects.erase(it);
        result = TRUE;
    }
    record.result = result;
    Log(record);
    return result;
}

HANDLE SimHidBus::CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::CreateFile, INVALID_HANDLE_VALUE};
    record.access = access;
    record.share = share;
    record.disposition = disposition;
    record.flags = flags;
    if (security || templateFile)
        NoteMisuse("CreateFileW: security attributes or template given");

    Device* device = nullptr;
    for (const auto& candidate : m_devices)
        if (candidate->present && path && candidate->config.path == path)
            device = candidate.get();

    SimHandleKind kind = SimHandleKind::None;
    bool refused = true;
    if (device) {
        record.device = device->id;
        if (access == 0) {
            kind = SimHandleKind::QueryHandle;
            refused = device->config.refuseQueryOpen;
        } else if (access == GENERIC_READ) {
            kind = SimHandleKind::ReadHandle;
            refused = device->config.refuseReadOpen;
        } else if (access == GENERIC_WRITE) {
            kind = SimHandleKind::WriteHandle;
            refused = device->config.refuseWriteOpen;
        } else {
            NoteMisuse("CreateFileW: access " + std::to_string(access));
        }
        if (disposition != OPEN_EXISTING)
            refused = true;
    }
    if (refused) {
        record.kind = kind;
        Log(record);
        SetLastError(device ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = NewHandle(kind, device->id);
    record.handle = handle;
    record.kind = kind;
    record.result = 1;
    Log(record);
    return handle;
}

BOOLEAN SimHidBus::HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::GetAttributes, handle};
    const Object* object = FindObject(handle);
    const Device* device = object ? FindDevice(object->device) : nullptr;
    if (object)
        record.kind = object->kind;
    BOOLEAN result = FALSE;
    if (!device)
        NoteMisuse("HidD_GetAttributes on " + HandleText(handle));
    else
        record.device = device->id;
    if (device && device->present && !device->config.refuseAttributes && attributes) {
        attributes->Size = sizeof(HIDD_ATTRIBUTES);
        attributes->VendorID = device->config.vendorId;
        attributes->ProductID = device->config.productId;
        attributes->VersionNumber = 0x0200;
        result = TRUE;
    }
    record.result = result;
    Log(record);
    return result;
}

HANDLE SimHidBus::CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                               LPCWSTR name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (security || name)
        NoteMisuse("CreateEventW: security attributes or name given");
    HANDLE event = NewHandle(SimHandleKind::Event, 0);
    Object* object = FindObject(event);
    object->signalled = initialState != FALSE;
    object->manualReset = manualReset != FALSE;

    const DWORD thread = GetCurrentThreadId();
    auto last = m_lastEventOfThread.find(thread);
    if (last != m_lastEventOfThread.end())
        if (Object* previous = FindObject(last->second))
            previous->nextEvent = event;
    m_lastEventOfThread[thread] = event;

    SimCallRecord record{SimCall::CreateEvent, event, SimHandleKind::Event};
    record.flags = (manualReset ? 1u : 0u) | (initialState ? 2u : 0u);
    record.result = 1;
    Log(record);
    return event;
}

BOOL SimHidBus::WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                          LPOVERLAPPED overlapped)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::uint64_t ordinal = ++m_writeCalls;
    SimCallRecord record{SimCall::WriteFile, file};
    record.length = bytesToWrite;
    record.countPointer = bytesWritten != nullptr;
    auto refuse = [&](DWORD error) {
        Log(record);
        SetLastError(error);
        return FALSE;
    };

    Object* object = FindObject(file);
    if (object)
        record.kind = object->kind;
    if (!object || object->kind != SimHandleKind::WriteHandle) {
        if (file != INVALID_HANDLE_VALUE)
            NoteMisuse("WriteFile on " + HandleText(file) + ", not a handle opened for writing");
        return refuse(object ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    }
    record.device = object->device;
    if (!overlapped || !buffer) {
        NoteMisuse("WriteFile without an overlapped record or a buffer");
        return refuse(ERROR_INVALID_PARAMETER);
    }
    Device* device = FindDevice(object->device);
    if (!device->present)
        return refuse(ERROR_DEVICE_NOT_CONNECTED);
    Fault fault{};
    const bool faulty = TakeFault(ordinal, &fault);
    if (faulty && fault.fault == SimWriteFault::Refuse)
        return refuse(ERROR_GEN_FAILURE);
    if (bytesToWrite != kReportSize) {
        m_violations.push_back("device " + std::to_string(device->id) + ": a write of " +
                               std::to_string(bytesToWrite) + " bytes");
        return refuse(ERROR_INVALID_USER_BUFFER);
    }

    if (device->holdAt != 0 && device->reportsTaken + 1 == device->holdAt) {
        device->holdAt = 0;
        m_holding = true;
        m_holdReleased.wait(lock, [this] { return !m_holding; });
        if (!device->present)
            return refuse(ERROR_DEVICE_NOT_CONNECTED);
    }

    // The unit takes the report in its own time, before the write completes.
    if (m_delayMicros) {
        const unsigned delay = m_delayMicros;
        lock.unlock();
        SpendMicros(delay);
        lock.lock();
        if (!device->present)
            return refuse(ERROR_DEVICE_NOT_CONNECTED);
    }

    TakeReport(*device, static_cast<const unsigned char*>(buffer));
    if (device->unplugAfter != 0 && device->reportsTaken >= device->unplugAfter) {
        device->present = false;
        device->unplugAfter = 0;
    }

    const DWORD moved = faulty && fault.fault == SimWriteFault::ShortCount ? fault.count : kReportSize;
    overlapped->Internal = 0;
    overlapped->InternalHigh = moved;
    if (bytesWritten)
        *bytesWritten = moved;
    Object* event = FindObject(overlapped->hEvent);
    if (!event || event->kind != SimHandleKind::Event) {
        NoteMisuse("WriteFile: the overlapped record carries no event of the bus");
    } else {
        if (!(faulty && fault.fault == SimWriteFault::NoSignal))
            event->signalled = true;
        if (faulty && fault.fault == SimWriteFault::Abort)
            if (Object* abort = FindObject(event->nextEvent))
                abort->signalled = true;
    }
    record.result = TRUE;
    Log(record);
    return TRUE;
}

DWORD SimHidBus::WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                        DWORD milliseconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::Wait};
    record.length = count;
    record.timeout = milliseconds;
    if (count > 0 && handles)
        record.handle = handles[0];
    if (count > 1 && handles)
        record.second = handles[1];
    auto finish = [&](DWORD result) {
        record.result = result;
        Log(record);
        return result;
    };

    if (!handles || count == 0 || count > MAXIMUM_WAIT_OBJECTS)
        return finish(WAIT_FAILED);
    if (waitAll)
        NoteMisuse("WaitForMultipleObjects: waiting for all");
    for (DWORD i = 0; i < count; ++i) {
        const Object* object = FindObject(handles[i]);
        if (!object || object->kind != SimHandleKind::Event) {
            SetLastError(ERROR_INVALID_HANDLE);
            return finish(WAIT_FAILED);
        }
    }
    for (DWORD i = 0; i < count; ++i) {
        Object* object = FindObject(handles[i]);
        if (object->signalled) {
            if (!object->manualReset)
                object->signalled = false;
            return finish(WAIT_OBJECT_0 + i);
        }
    }
    // Nothing on the bus signals an event later, so a time-out is known at once.
    if (milliseconds == INFINITE) {
        NoteMisuse("WaitForMultipleObjects: an endless wait that nothing can end");
        return finish(WAIT_FAILED);
    }
    return finish(WAIT_TIMEOUT);
}

BOOL SimHidBus::ResetEvent(HANDLE event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::ResetEvent, event, SimHandleKind::Event};
    Object* object = FindObject(event);
    if (!object || object->kind != SimHandleKind::Event) {
        NoteMisuse("ResetEvent on " + HandleText(event));
        record.kind = object ? object->kind : SimHandleKind::None;
        Log(record);
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->signalled = false;
    record.result = TRUE;
    Log(record);
    return TRUE;
}

BOOL SimHidBus::GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                                    BOOL wait)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::GetOverlappedResult, file};
    record.flags = wait ? 1u : 0u;
    const Object* object = FindObject(file);
    if (object) {
        record.kind = object->kind;
        record.device = object->device;
    }
    if (!object || object->kind != SimHandleKind::WriteHandle || !overlapped || !bytesTransferred) {
        NoteMisuse("GetOverlappedResult on " + HandleText(file));
        Log(record);
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *bytesTransferred = static_cast<DWORD>(overlapped->InternalHigh);
    record.result = TRUE;
    Log(record);
    return TRUE;
}

BOOL SimHidBus::CancelIo(HANDLE file)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::CancelIo, file};
    const Object* object = FindObject(file);
    const bool device = object && (object->kind == SimHandleKind::ReadHandle ||
                                   object->kind == SimHandleKind::WriteHandle ||
                                   object->kind == SimHandleKind::QueryHandle);
    if (object) {
        record.kind = object->kind;
        record.device = object->device;
    }
    if (!device)
        NoteMisuse("CancelIo on " + HandleText(file));
    record.result = device ? TRUE : FALSE;
    Log(record);
    return record.result;
}

BOOL SimHidBus::CloseHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::CloseHandle, handle};
    auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == m_objects.end()) {
        NoteMisuse("CloseHandle on " + HandleText(handle) + ", which is not open");
        Log(record);
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    record.kind = it->second->kind;
    record.device = it->second->device;
    if (it->second->kind == SimHandleKind::InterfaceSet) {
        NoteMisuse("CloseHandle on an interface set");
        Log(record);
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (auto& entry : m_lastEventOfThread)
        if (entry.second == handle)
            entry.second = nullptr;
    for (auto& entry : m_objects)
        if (entry.second->nextEvent == handle)
            entry.second->nextEvent = nullptr;
    m_objects.erase(it);
    record.result = TRUE;
    Log(record);
    return TRUE;
}

void SimHidBus::OutputDebugStringW(LPCWSTR text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::DebugString};
    Log(record);
    if (m_recording)
        m_debugLines.push_back(text ? text : L"");
}

void SimHidBus::StdOutLine(const char* line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SimCallRecord record{SimCall::StdOut};
    Log(record);
    if (m_recording)
        m_stdoutLines.push_back(line ? line : "");
}

// ---------------------------------------------------------------- descriptions

std::string SimDescribe(const SimCallRecord& record)
{
    static const char* const kCalls[] = {
        "GetHidGuid", "GetClassDevs", "EnumInterfaces", "GetInterfaceDetail", "DestroyInterfaceSet",
        "CreateFile", "GetAttributes", "CreateEvent", "WriteFile", "Wait", "ResetEvent",
        "GetOverlappedResult", "CancelIo", "CloseHandle", "DebugString", "StdOut"};
    static const char* const kKinds[] = {"none", "set", "query", "read", "write", "event"};
    std::string text = kCalls[static_cast<int>(record.call)];
    switch (record.call) {
    case SimCall::CreateFile:
        text += "#" + std::to_string(record.device) + ":" +
                (record.result ? kKinds[static_cast<int>(record.kind)] : "refused");
        break;
    case SimCall::EnumInterfaces:
    case SimCall::GetInterfaceDetail:
    case SimCall::GetAttributes:
        text += "#" + std::to_string(record.device);
        break;
    case SimCall::CancelIo:
    case SimCall::CloseHandle:
        text += std::string(":") + kKinds[static_cast<int>(record.kind)];
        break;
    default:
        break;
    }
    return text;
}

std::vector<std::string> SimDescribe(const std::vector<SimCallRecord>& records)
{
    std::vector<std::string> words;
    for (const SimCallRecord& record : records)
        words.push_back(SimDescribe(record));
    return words;
}

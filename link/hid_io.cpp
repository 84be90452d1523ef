#include "hid_io.h"

#include <cstddef>
#include <cwchar>
#include <memory>
#include <new>

#include "hid_platform.h"
#include "update_state.h"

#if defined(__i386__)
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "interface record of the 32-bit platform");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6, "detail record of the 32-bit platform");
#endif
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HID attributes record");

namespace {

constexpr DWORD kInterfaceListFlags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
static_assert(kInterfaceListFlags == 0x12, "present device interfaces");

// A sizing answer beyond this is not a device path the link could use.
constexpr DWORD kLargestDetail = 64 * 1024;

// The interface set, released on every path out of OpenDevice.
class InterfaceSet {
public:
    InterfaceSet(HidPlatform& platform, const GUID& hidClass)
        : m_platform(platform),
          m_set(platform.SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, kInterfaceListFlags))
    {
    }
    ~InterfaceSet()
    {
        if (m_set != INVALID_HANDLE_VALUE && m_set != nullptr)
            m_platform.SetupDiDestroyDeviceInfoList(m_set);
    }
    InterfaceSet(const InterfaceSet&) = delete;
    InterfaceSet& operator=(const InterfaceSet&) = delete;

    HDEVINFO get() const { return m_set; }

private:
    HidPlatform& m_platform;
    HDEVINFO m_set;
};

// The query-only handle of a probe, closed as soon as the attributes are read.
class ProbeHandle {
public:
    ProbeHandle(HidPlatform& platform, const wchar_t* path)
        : m_platform(platform),
          m_handle(platform.CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~ProbeHandle()
    {
        if (valid())
            m_platform.CloseHandle(m_handle);
    }
    ProbeHandle(const ProbeHandle&) = delete;
    ProbeHandle& operator=(const ProbeHandle&) = delete;

    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HidPlatform& m_platform;
    HANDLE m_handle;
};

enum class PathResult { Copied, Skipped, OutOfMemory };

// Copies the device path of the interface at this index into path. A path
// that does not fit whole is skipped rather than cut, so that a cut path can
// never open some other device.
PathResult ReadInterfacePath(HidPlatform& platform, HDEVINFO set,
                             SP_DEVICE_INTERFACE_DATA& interfaceData,
                             wchar_t (&path)[HID_PATH_CHARS])
{
    constexpr DWORD pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

    DWORD required = 0;
    platform.SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required,
                                              nullptr);
    if (required < pathOffset + sizeof(wchar_t) || required > kLargestDetail)
        return PathResult::Skipped;

    // At least the whole record, so that its size field can always be set.
    const std::size_t blockSize =
        required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) ? sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
                                                            : required;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[blockSize]());
    if (!block)
        return PathResult::OutOfMemory;

    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(block.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!platform.SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, required,
                                                   nullptr, nullptr))
        return PathResult::Skipped;

    const std::size_t available = (required - pathOffset) / sizeof(wchar_t);
    const std::size_t length = wcsnlen(detail->DevicePath, available);
    if (length == available || length >= HID_PATH_CHARS)
        return PathResult::Skipped;
    wmemcpy(path, detail->DevicePath, length);
    path[length] = L'\0';
    return PathResult::Copied;
}

HANDLE OpenForAccess(HidPlatform& platform, const wchar_t* path, DWORD access)
{
    return platform.CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

CHidIO::CHidIO()
    : m_hRead(INVALID_HANDLE_VALUE),
      m_hWrite(INVALID_HANDLE_VALUE),
      m_hReadEvent(HidGetPlatform().CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hWriteEvent(HidGetPlatform().CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hAbortEvent(HidGetPlatform().CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

CHidIO::~CHidIO()
{
    CloseDevice();
    HidPlatform& platform = HidGetPlatform();
    platform.CloseHandle(m_hWriteEvent);
    platform.CloseHandle(m_hReadEvent);
    platform.CloseHandle(m_hAbortEvent);
}

int CHidIO::OpenDevice(std::uint16_t productId)
{
    HidPlatform& platform = HidGetPlatform();
    m_hRead = INVALID_HANDLE_VALUE;
    m_hWrite = INVALID_HANDLE_VALUE;

    GUID hidClass{};
    platform.HidD_GetHidGuid(&hidClass);
    InterfaceSet set(platform, hidClass);

    wchar_t path[HID_PATH_CHARS] = {};
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof(interfaceData);
        if (!platform.SetupDiEnumDeviceInterfaces(set.get(), nullptr, &hidClass, index,
                                                  &interfaceData))
            return 0;

        const PathResult copied = ReadInterfacePath(platform, set.get(), interfaceData, path);
        if (copied == PathResult::OutOfMemory)
            return 0;
        if (copied == PathResult::Skipped)
            continue;

        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof(attributes);
        BOOLEAN haveAttributes = FALSE;
        {
            ProbeHandle probe(platform, path);
            if (!probe.valid())
                continue;
            haveAttributes = platform.HidD_GetAttributes(probe.get(), &attributes);
        }
        if (!haveAttributes || attributes.VendorID != HID_VENDOR_ID ||
            attributes.ProductID != productId)
            continue;

        m_hRead = OpenForAccess(platform, path, GENERIC_READ);
        m_hWrite = OpenForAccess(platform, path, GENERIC_WRITE);
        return 1;
    }
}

int CHidIO::WriteReport(const unsigned char* report, DWORD* count)
{
    HidPlatform& platform = HidGetPlatform();
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_hWriteEvent;
    const HANDLE waitList[2] = {m_hAbortEvent, m_hWriteEvent};

    if (count)
        *count = 0;
    if (!platform.WriteFile(m_hWrite, report, HID_REPORT_SIZE, nullptr, &overlapped))
        return 0;

    const DWORD signalled = platform.WaitForMultipleObjects(2, waitList, FALSE, HID_WRITE_TIMEOUT_MS);
    if (signalled != WAIT_OBJECT_0 && signalled != WAIT_OBJECT_0 + 1)
        return 0;
    const DWORD index = signalled - WAIT_OBJECT_0;
    platform.ResetEvent(waitList[index]);
    if (index == 0)
        return 0;

    platform.OutputDebugStringW(L"write ok\r\n");
    DWORD moved = 0;
    platform.GetOverlappedResult(m_hWrite, &overlapped, &moved, TRUE);
    if (count)
        *count = moved;
    return 1;
}

void CHidIO::CloseDevice()
{
    HidPlatform& platform = HidGetPlatform();
    if (m_hRead != INVALID_HANDLE_VALUE)
        platform.CancelIo(m_hRead);
    if (m_hWrite != INVALID_HANDLE_VALUE)
        platform.CancelIo(m_hWrite);
    if (m_hRead != INVALID_HANDLE_VALUE) {
        platform.CloseHandle(m_hRead);
        m_hRead = INVALID_HANDLE_VALUE;
    }
    if (m_hWrite != INVALID_HANDLE_VALUE) {
        platform.CloseHandle(m_hWrite);
        m_hWrite = INVALID_HANDLE_VALUE;
    }
}

int HidIsDevicePresent(int index)
{
    if (index < 0 || index >= static_cast<int>(sizeof g_productIds / sizeof g_productIds[0]))
        return 0;
    CHidCmd cmd;
    return cmd.m_hid.OpenDevice(g_productIds[index]) ? 1 : 0;
}

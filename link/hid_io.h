#pragma once
// Access to the unit's bootloader: one HID device opened for one transaction.
#include <windows.h>

#include <cstdint>

// Vendor id of the unit's bootloader; every match requires it.
constexpr std::uint16_t HID_VENDOR_ID = 0x0483;
// Bytes of every output report: the report id and 64 payload bytes.
constexpr DWORD HID_REPORT_SIZE = 65;
// Longest wait for a report write to complete. The write itself is
// synchronous, so the event is normally set already when the wait begins.
constexpr DWORD HID_WRITE_TIMEOUT_MS = 100;
// Device path buffer: 259 characters and the terminator.
constexpr int HID_PATH_CHARS = 260;

// The device handles and events of one transaction. Lives only inside a CHidCmd.
class CHidIO {
public:
    CHidIO();
    virtual ~CHidIO();

    CHidIO(const CHidIO&) = delete;
    CHidIO& operator=(const CHidIO&) = delete;

    // 1 when an interface of vendor 0x0483 and this product id was found and
    // opened for reading and writing, else 0.
    int OpenDevice(std::uint16_t productId);
    // Writes the 65 bytes of the report and waits for completion; 1 on
    // completion, else 0. The count, when given, receives the bytes moved
    // (0 on failure).
    int WriteReport(const unsigned char* report, DWORD* count);
    // Cancels and closes both device handles; the events stay open.
    void CloseDevice();

    HANDLE m_hRead;
    HANDLE m_hWrite;
    HANDLE m_hReadEvent;
    HANDLE m_hWriteEvent;
    HANDLE m_hAbortEvent;
};

// One transaction's report buffer and device.
class CHidCmd {
public:
    CHidCmd() = default;
    virtual ~CHidCmd() = default;

    CHidCmd(const CHidCmd&) = delete;
    CHidCmd& operator=(const CHidCmd&) = delete;

    // Filled whole by every sender before it is written.
    unsigned char m_report[HID_REPORT_SIZE];
    CHidIO m_hid;
};

// 1 when a unit with the product id of g_productIds[index] is present, else 0.
int HidIsDevicePresent(int index);

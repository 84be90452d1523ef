#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "hid_io.h"
#include "hid_platform.h"

namespace {

DWORD HandleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

// HID interfaces present that answer with their attributes and are not the unit.
int ForeignHidDevices()
{
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    HDEVINFO set = SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return 0;
    int foreign = 0;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, i, &data); ++i) {
        union {
            SP_DEVICE_INTERFACE_DETAIL_DATA_W detail;
            unsigned char bytes[2048];
        } block;
        block.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, &block.detail, sizeof block, nullptr, nullptr))
            continue;
        HANDLE h = CreateFileW(block.detail.DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (HidD_GetAttributes(h, &attributes) && attributes.VendorID != 0x0483)
            ++foreign;
        CloseHandle(h);
    }
    SetupDiDestroyDeviceInfoList(set);
    return foreign;
}

TEST(RealPlatform, ForeignHidDevicesAreProbedSkippedAndLeaveNoHandle)
{
    ASSERT_EQ(&HidGetPlatform(), &HidRealPlatform());
    const int foreign = ForeignHidDevices();
    std::printf("HID devices of other vendors present: %d\n", foreign);

    // The first use of SetupAPI and HID keeps some handles for the process.
    HidIsDevicePresent(1);
    const DWORD before = HandleCount();
    for (int round = 0; round < 3; ++round) {
        {
            CHidCmd cmd;
            EXPECT_EQ(cmd.m_hid.OpenDevice(0x5780), 0);
            EXPECT_EQ(cmd.m_hid.m_hRead, INVALID_HANDLE_VALUE);
            EXPECT_EQ(cmd.m_hid.m_hWrite, INVALID_HANDLE_VALUE);
        }
        for (int index = 1; index <= 3; ++index)
            EXPECT_EQ(HidIsDevicePresent(index), 0) << index;
    }
    EXPECT_EQ(HandleCount(), before);
}

} // namespace

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "hid_commands.h"
#include "hid_io.h"
#include "sim_hid_bus.h"
#include "update_state.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

TEST(SimHidBus, InstallsItselfAndPutsTheRealPlatformBack)
{
    HidPlatform* real = &HidRealPlatform();
    {
        SimHidBus bus;
        EXPECT_EQ(&HidGetPlatform(), static_cast<HidPlatform*>(&bus));
    }
    EXPECT_EQ(&HidGetPlatform(), real);
}

TEST(SimHidBus, UnitRecordsEveryMalformedReport)
{
    SimHidBus bus;
    const int unit = bus.AddDevice();
    CHidCmd cmd;
    ASSERT_EQ(cmd.m_hid.OpenDevice(0x5780), 1);

    auto send = [&](void (*spoil)(unsigned char*)) {
        HidBuildCommandReport(cmd.m_report, CMD_TEST, 0x12345678, 1);
        spoil(cmd.m_report);
        return cmd.m_hid.WriteReport(cmd.m_report, nullptr);
    };
    EXPECT_EQ(send([](unsigned char*) {}), 1);
    send([](unsigned char* r) { r[0] = 1; });
    send([](unsigned char* r) { r[12] = 'X'; });
    send([](unsigned char* r) { r[15] ^= 1; });
    send([](unsigned char* r) { r[64] = 0; });
    send([](unsigned char* r) {
        HidBuildCommandReport(r, 0x0E72, 1, 1);
    });

    EXPECT_THAT(bus.Commands(unit), ElementsAre(SimCommand{CMD_TEST, 0x12345678, 1}));
    const std::vector<std::string> violations = bus.ProtocolViolations();
    ASSERT_THAT(violations, SizeIs(5));
    EXPECT_THAT(violations[0], HasSubstr("report id 1"));
    EXPECT_THAT(violations[1], HasSubstr("HIDC"));
    EXPECT_THAT(violations[2], HasSubstr("checksum"));
    EXPECT_THAT(violations[3], HasSubstr("fill byte 64"));
    EXPECT_THAT(violations[4], HasSubstr("unknown command"));

    // A write of another length never reaches the unit.
    OVERLAPPED overlapped{};
    overlapped.hEvent = cmd.m_hid.m_hWriteEvent;
    EXPECT_FALSE(HidGetPlatform().WriteFile(cmd.m_hid.m_hWrite, cmd.m_report, 64, nullptr, &overlapped));
    EXPECT_THAT(bus.ProtocolViolations(), SizeIs(6));
    EXPECT_EQ(bus.ReportsTaken(unit), 6u);
    cmd.m_hid.CloseDevice();
}

TEST(SimHidBus, PagesLandInTheStoreAndEraseClearsWholeSectors)
{
    SimHidBus bus;
    const int unit = bus.AddDevice();
    CHidCmd cmd;
    ASSERT_EQ(cmd.m_hid.OpenDevice(0x5780), 1);
    HidBuildCommandReport(cmd.m_report, CMD_WRITE_PAGES, 15, 2);
    cmd.m_hid.WriteReport(cmd.m_report, nullptr);
    for (int i = 0; i < 8; ++i) {
        cmd.m_report[0] = 0;
        std::memset(cmd.m_report + 1, 0x10 + i, 64);
        cmd.m_hid.WriteReport(cmd.m_report, nullptr);
    }
    EXPECT_EQ(bus.PagesWritten(unit), 2u);
    EXPECT_EQ(bus.Flash(unit, 15, 1)[0], 0x10);
    EXPECT_EQ(bus.Flash(unit, 16, 1)[255], 0x17);
    EXPECT_EQ(bus.Flash(unit, 17, 1)[0], 0xFF) << "never written";

    // Sector 1 holds pages 16 to 31.
    HidBuildCommandReport(cmd.m_report, CMD_ERASE_SECTORS, 1, 1);
    cmd.m_hid.WriteReport(cmd.m_report, nullptr);
    EXPECT_EQ(bus.PagesWritten(unit), 1u);
    EXPECT_EQ(bus.Flash(unit, 15, 1)[0], 0x10);
    EXPECT_EQ(bus.Flash(unit, 16, 1)[0], 0xFF);
    cmd.m_hid.CloseDevice();
    EXPECT_THAT(bus.ProtocolViolations(), IsEmpty());
}

TEST(SimHidBus, MisuseIsRecordedAndEndlessWaitsFailAtOnce)
{
    SimHidBus bus;
    HidPlatform& platform = HidGetPlatform();
    HANDLE event = platform.CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(platform.WaitForMultipleObjects(1, &event, FALSE, INFINITE), DWORD(WAIT_FAILED));
    EXPECT_TRUE(platform.CloseHandle(event));
    EXPECT_FALSE(platform.CloseHandle(event));
    EXPECT_FALSE(platform.CancelIo(event));
    EXPECT_THAT(bus.Misuse(), SizeIs(3));
    EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST(SimHidBus, DevicesComeAndGoWhileAnotherThreadWrites)
{
    ResetUpdateStateForTest();
    SimHidBus bus;
    const int unit = bus.AddDevice();
    std::atomic<bool> done{false};
    std::thread prober([&] {
        SimDeviceConfig other;
        other.productId = 0x03B4;
        for (int i = 0; i < 200; ++i) {
            const int id = bus.AddDevice(other);
            HidIsDevicePresent(2);
            bus.Unplug(id);
        }
        done = true;
    });
    int written = 0;
    for (int i = 0; i < 200 || !done; ++i) {
        CHidCmd cmd;
        if (cmd.m_hid.OpenDevice(0x5780)) {
            HidBuildCommandReport(cmd.m_report, CMD_FINISH, 0x12345678, 0xABCDEF01);
            written += cmd.m_hid.WriteReport(cmd.m_report, nullptr);
            cmd.m_hid.CloseDevice();
        }
        if (i > 100000)
            break;
    }
    prober.join();
    EXPECT_EQ(std::uint64_t(written), bus.ReportsTaken(unit));
    EXPECT_GE(written, 200);
    EXPECT_EQ(bus.OpenHandles(), 0u);
    EXPECT_THAT(bus.Misuse(), IsEmpty());
    EXPECT_THAT(bus.ProtocolViolations(), IsEmpty());
}

} // namespace

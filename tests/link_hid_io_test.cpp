#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hid_commands.h"
#include "hid_io.h"
#include "sim_hid_bus.h"
#include "update_state.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class HidIOTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetUpdateStateForTest();
        HidBuildCommandReport(report, CMD_TEST, 0x12345678, 1);
    }
    void TearDown() override
    {
        EXPECT_EQ(bus.OpenHandles(), 0u) << "a handle or event was left open";
        EXPECT_THAT(bus.Misuse(), IsEmpty());
        EXPECT_THAT(bus.ProtocolViolations(), IsEmpty());
    }

    SimDeviceConfig Device(std::uint16_t vendor, std::uint16_t product)
    {
        SimDeviceConfig config;
        config.vendorId = vendor;
        config.productId = product;
        return config;
    }

    // The unit's ids, with one of its answers spoilt.
    SimDeviceConfig UnitThat(bool SimDeviceConfig::*fault)
    {
        SimDeviceConfig config = Device(0x0483, 0x5780);
        config.*fault = true;
        return config;
    }

    // Only the calls that touch devices, in order.
    std::vector<std::string> DeviceCalls()
    {
        std::vector<std::string> words;
        for (const SimCallRecord& r : bus.Calls())
            if (r.call == SimCall::CreateFile || r.call == SimCall::GetAttributes ||
                r.call == SimCall::CancelIo || r.call == SimCall::DestroyInterfaceSet ||
                (r.call == SimCall::CloseHandle && r.kind != SimHandleKind::Event))
                words.push_back(SimDescribe(r));
        return words;
    }

    SimHidBus bus;
    HidReport report;
};

TEST_F(HidIOTest, NothingPresentOpensNothing)
{
    bus.AddDevice(Device(0x845e, 0x0001));
    {
        CHidCmd cmd;
        EXPECT_EQ(cmd.m_hid.OpenDevice(0x5780), 0);
        EXPECT_EQ(cmd.m_hid.m_hRead, INVALID_HANDLE_VALUE);
        EXPECT_EQ(cmd.m_hid.m_hWrite, INVALID_HANDLE_VALUE);
    }
    for (int index = 1; index <= 3; ++index)
        EXPECT_EQ(HidIsDevicePresent(index), 0) << index;
    for (const SimCallRecord& r : bus.Calls(SimCall::CreateFile))
        EXPECT_EQ(r.access, 0u) << "only query opens when nothing matches";

    // A listing that cannot be made is an empty one.
    bus.AddDevice(Device(0x0483, 0x5780));
    bus.FailInterfaceListing(true);
    EXPECT_EQ(HidIsDevicePresent(1), 0);
    bus.FailInterfaceListing(false);
    EXPECT_EQ(HidIsDevicePresent(1), 1);
}

TEST_F(HidIOTest, ProbeSkipsEveryInterfaceThatIsNotTheUnitAndTheFirstMatchWins)
{
    bus.AddDevice(Device(0x0483, 0x1234));  // 1: right vendor, wrong product
    bus.AddDevice(Device(0x1234, 0x5780));  // 2: right product, wrong vendor
    bus.AddDevice(UnitThat(&SimDeviceConfig::refuseQueryOpen));   // 3
    bus.AddDevice(UnitThat(&SimDeviceConfig::refuseAttributes));  // 4
    bus.AddDevice(UnitThat(&SimDeviceConfig::noDetailSize));      // 5
    bus.AddDevice(UnitThat(&SimDeviceConfig::refuseDetail));      // 6
    bus.AddDevice(Device(0x0483, 0x5780));  // 7: the unit
    bus.AddDevice(Device(0x0483, 0x5780));  // 8: a second unit, never touched

    {
        CHidCmd cmd;
        bus.ClearCalls();
        ASSERT_EQ(cmd.m_hid.OpenDevice(0x5780), 1);
        EXPECT_NE(cmd.m_hid.m_hRead, INVALID_HANDLE_VALUE);
        EXPECT_NE(cmd.m_hid.m_hWrite, INVALID_HANDLE_VALUE);
        EXPECT_THAT(DeviceCalls(),
                    ElementsAre("CreateFile#1:query", "GetAttributes#1", "CloseHandle:query",
                                "CreateFile#2:query", "GetAttributes#2", "CloseHandle:query",
                                "CreateFile#3:refused",
                                "CreateFile#4:query", "GetAttributes#4", "CloseHandle:query",
                                "CreateFile#7:query", "GetAttributes#7", "CloseHandle:query",
                                "CreateFile#7:read", "CreateFile#7:write", "DestroyInterfaceSet"));
        cmd.m_hid.CloseDevice();
    }
    EXPECT_EQ(bus.CallCount(SimCall::GetClassDevs), 1u);
}

TEST_F(HidIOTest, ProductIdZeroIsComparedLikeAnyOther)
{
    bus.AddDevice(Device(0x0483, 0x5780));
    bus.AddDevice(Device(0x0000, 0x0000));
    EXPECT_EQ(HidIsDevicePresent(0), 0);
    const int zero = bus.AddDevice(Device(0x0483, 0x0000));
    EXPECT_EQ(HidIsDevicePresent(0), 1);
    for (const SimCallRecord& r : bus.Calls(SimCall::CreateFile))
        EXPECT_TRUE(r.access == 0 || r.device == zero) << "opened device " << r.device;
}

TEST_F(HidIOTest, DeviceOpensAreSynchronousAndShared)
{
    bus.AddDevice(Device(0x0483, 0x5780));
    EXPECT_EQ(HidIsDevicePresent(1), 1);
    const std::vector<SimCallRecord> opens = bus.Calls(SimCall::CreateFile);
    ASSERT_EQ(opens.size(), 3u);
    const DWORD access[] = {0, GENERIC_READ, GENERIC_WRITE};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(opens[i].access, access[i]);
        EXPECT_EQ(opens[i].share, DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE));
        EXPECT_EQ(opens[i].disposition, DWORD(OPEN_EXISTING));
        EXPECT_EQ(opens[i].flags, DWORD(FILE_ATTRIBUTE_NORMAL)) << "no FILE_FLAG_OVERLAPPED";
    }
    EXPECT_EQ(bus.CallCount(SimCall::WriteFile), 0u) << "the probe writes nothing";
    EXPECT_THAT(bus.Calls(SimCall::GetClassDevs).at(0).flags, 0x12u);
}

TEST_F(HidIOTest, PresenceProbeFollowsTheProductIdTable)
{
    bus.AddDevice(Device(0x0483, 0x03B4));
    EXPECT_EQ(HidIsDevicePresent(1), 0);
    EXPECT_EQ(HidIsDevicePresent(2), 1);
    EXPECT_EQ(HidIsDevicePresent(3), 0);
    bus.AddDevice(Device(0x0483, 0x005A));
    EXPECT_EQ(HidIsDevicePresent(3), 1);

    bus.ClearCalls();
    EXPECT_EQ(HidIsDevicePresent(-1), 0);
    EXPECT_EQ(HidIsDevicePresent(4), 0);
    EXPECT_THAT(bus.Calls(), IsEmpty()) << "an index outside the table reads nothing";
}

TEST_F(HidIOTest, OpenAfterAFailedOpenStartsCleanOnTheSameObject)
{
    bus.AddDevice(Device(0x0483, 0x5780));
    CHidCmd cmd;
    EXPECT_EQ(cmd.m_hid.OpenDevice(g_productIds[0]), 0);
    EXPECT_EQ(cmd.m_hid.OpenDevice(g_productIds[1]), 1);
    cmd.m_hid.CloseDevice();
    EXPECT_EQ(bus.OpenHandles(SimHandleKind::ReadHandle) + bus.OpenHandles(SimHandleKind::WriteHandle), 0u);
    EXPECT_EQ(bus.OpenHandles(SimHandleKind::InterfaceSet), 0u);
}

TEST_F(HidIOTest, UnitThatRefusesWritingIsFoundButEveryWriteFails)
{
    bus.AddDevice(UnitThat(&SimDeviceConfig::refuseWriteOpen));
    {
        CHidCmd cmd;
        ASSERT_EQ(cmd.m_hid.OpenDevice(0x5780), 1);
        EXPECT_EQ(cmd.m_hid.m_hWrite, INVALID_HANDLE_VALUE);
        DWORD count = 123;
        EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 0);
        EXPECT_EQ(count, 0u);
        bus.ClearCalls();
    }
    // Only the read handle is cancelled and closed.
    EXPECT_THAT(DeviceCalls(), ElementsAre("CancelIo:read", "CloseHandle:read"));
}

TEST_F(HidIOTest, CompletedWriteMovesTheWholeReportAndClearsItsEvent)
{
    bus.AddDevice(Device(0x0483, 0x5780));
    CHidCmd cmd;
    ASSERT_EQ(cmd.m_hid.OpenDevice(0x5780), 1);
    bus.ClearCalls();

    DWORD count = 0;
    EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 1);
    EXPECT_EQ(count, 65u);
    EXPECT_FALSE(bus.IsSignalled(cmd.m_hid.m_hWriteEvent));
    EXPECT_THAT(bus.DebugLines(), ElementsAre(L"write ok\r\n"));
    EXPECT_THAT(SimDescribe(bus.Calls()),
                ElementsAre("WriteFile", "Wait", "ResetEvent", "DebugString", "GetOverlappedResult"));

    const SimCallRecord write = bus.Calls(SimCall::WriteFile).at(0);
    EXPECT_EQ(write.handle, cmd.m_hid.m_hWrite);
    EXPECT_EQ(write.length, 65u);
    EXPECT_FALSE(write.countPointer);
    const SimCallRecord wait = bus.Calls(SimCall::Wait).at(0);
    EXPECT_EQ(wait.length, 2u);
    EXPECT_EQ(wait.handle, cmd.m_hid.m_hAbortEvent);
    EXPECT_EQ(wait.second, cmd.m_hid.m_hWriteEvent);
    EXPECT_EQ(wait.timeout, 100u);
    EXPECT_EQ(bus.Calls(SimCall::ResetEvent).at(0).handle, cmd.m_hid.m_hWriteEvent);
    EXPECT_EQ(bus.Calls(SimCall::GetOverlappedResult).at(0).flags, 1u) << "waits for the result";

    // Without a count pointer the result is the same.
    EXPECT_EQ(cmd.m_hid.WriteReport(report, nullptr), 1);
    EXPECT_EQ(bus.RawReports(1).size(), 2u);
    EXPECT_EQ(std::memcmp(bus.RawReports(1)[1].data(), report, 65), 0);

    // A short transfer is still a completed write; its count is handed back.
    bus.FailWrite(1, SimWriteFault::ShortCount, 10);
    EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 1);
    EXPECT_EQ(count, 10u);
    cmd.m_hid.CloseDevice();
}

TEST_F(HidIOTest, FailedWritesGiveZeroAndCountZero)
{
    bus.AddDevice(Device(0x0483, 0x5780));
    CHidCmd cmd;
    ASSERT_EQ(cmd.m_hid.OpenDevice(0x5780), 1);
    DWORD count = 99;

    // Refused: no wait, nothing reset.
    bus.ClearCalls();
    bus.FailWrite(1, SimWriteFault::Refuse);
    EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_THAT(SimDescribe(bus.Calls()), ElementsAre("WriteFile"));
    bus.FailWrite(1, SimWriteFault::Refuse);
    EXPECT_EQ(cmd.m_hid.WriteReport(report, nullptr), 0);

    // Time-out: nothing reset, no trace.
    bus.ClearCalls();
    bus.FailWrite(1, SimWriteFault::NoSignal);
    count = 99;
    EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_THAT(SimDescribe(bus.Calls()), ElementsAre("WriteFile", "Wait"));
    EXPECT_EQ(bus.Calls(SimCall::Wait).at(0).result, DWORD(WAIT_TIMEOUT));

    // Abort together with completion: the abort wins and is cleared; the
    // write event keeps its state.
    bus.ClearCalls();
    bus.FailWrite(1, SimWriteFault::Abort);
    count = 99;
    EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(bus.IsSignalled(cmd.m_hid.m_hAbortEvent));
    EXPECT_TRUE(bus.IsSignalled(cmd.m_hid.m_hWriteEvent));
    EXPECT_EQ(bus.Calls(SimCall::ResetEvent).at(0).handle, cmd.m_hid.m_hAbortEvent);
    EXPECT_THAT(bus.DebugLines(), IsEmpty());

    // An abort signalled from outside fails the next write that is taken.
    bus.SignalEvent(cmd.m_hid.m_hAbortEvent);
    EXPECT_EQ(cmd.m_hid.WriteReport(report, nullptr), 0);
    EXPECT_FALSE(bus.IsSignalled(cmd.m_hid.m_hAbortEvent));
    EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 1);
    EXPECT_EQ(count, 65u);

    // Unplugged: the write is refused.
    bus.Unplug(1);
    EXPECT_EQ(cmd.m_hid.WriteReport(report, &count), 0);
    EXPECT_EQ(count, 0u);
    cmd.m_hid.CloseDevice();
}

TEST_F(HidIOTest, CloseCancelsBothBeforeClosingEitherAndDestructionClosesEventsLast)
{
    bus.AddDevice(Device(0x0483, 0x5780));
    HANDLE read = nullptr, write = nullptr, readEvent = nullptr, writeEvent = nullptr,
           abortEvent = nullptr;
    {
        CHidCmd cmd;
        readEvent = cmd.m_hid.m_hReadEvent;
        writeEvent = cmd.m_hid.m_hWriteEvent;
        abortEvent = cmd.m_hid.m_hAbortEvent;
        const std::vector<SimCallRecord> created = bus.Calls(SimCall::CreateEvent);
        ASSERT_EQ(created.size(), 3u);
        EXPECT_EQ(created[0].handle, readEvent);
        EXPECT_EQ(created[1].handle, writeEvent);
        EXPECT_EQ(created[2].handle, abortEvent);
        for (const SimCallRecord& r : created)
            EXPECT_EQ(r.flags, 1u) << "manual reset, not signalled";

        ASSERT_EQ(cmd.m_hid.OpenDevice(0x5780), 1);
        read = cmd.m_hid.m_hRead;
        write = cmd.m_hid.m_hWrite;
        bus.ClearCalls();
        cmd.m_hid.CloseDevice();
        EXPECT_EQ(cmd.m_hid.m_hRead, INVALID_HANDLE_VALUE);
        EXPECT_EQ(cmd.m_hid.m_hWrite, INVALID_HANDLE_VALUE);
        cmd.m_hid.CloseDevice();
        EXPECT_EQ(bus.OpenHandles(SimHandleKind::Event), 3u);
    }
    const std::vector<SimCallRecord> calls = bus.Calls();
    ASSERT_EQ(calls.size(), 7u);
    const SimCall kinds[] = {SimCall::CancelIo, SimCall::CancelIo, SimCall::CloseHandle,
                             SimCall::CloseHandle, SimCall::CloseHandle, SimCall::CloseHandle,
                             SimCall::CloseHandle};
    const HANDLE handles[] = {read, write, read, write, writeEvent, readEvent, abortEvent};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(calls[i].call, kinds[i]) << i;
        EXPECT_EQ(calls[i].handle, handles[i]) << i;
    }
}

TEST_F(HidIOTest, ObjectThatNeverFoundADeviceOnlyClosesItsEvents)
{
    {
        CHidCmd cmd;
        EXPECT_EQ(cmd.m_hid.OpenDevice(0x5780), 0);
        bus.ClearCalls();
    }
    EXPECT_THAT(SimDescribe(bus.Calls()),
                ElementsAre("CloseHandle:event", "CloseHandle:event", "CloseHandle:event"));
}

TEST_F(HidIOTest, PathThatDoesNotFitIsSkippedNotCut)
{
    // Cut to 259 characters, the long path would name the second device.
    SimDeviceConfig fits = Device(0x0483, 0x1111);
    fits.path = L"\\\\?\\hid#" + std::wstring(259 - 8, L'a');
    ASSERT_EQ(fits.path.size(), 259u);
    SimDeviceConfig tooLong = Device(0x0483, 0x5780);
    tooLong.path = fits.path + L"b";
    bus.AddDevice(tooLong);
    bus.AddDevice(fits);

    EXPECT_EQ(HidIsDevicePresent(1), 0);
    std::vector<std::string> words;
    for (const SimCallRecord& r : bus.Calls())
        if (r.call == SimCall::EnumInterfaces || r.call == SimCall::CreateFile)
            words.push_back(SimDescribe(r));
    EXPECT_THAT(words, ElementsAre("EnumInterfaces#1", "EnumInterfaces#2", "CreateFile#2:query",
                                   "EnumInterfaces#0"));

    // 259 characters fit exactly.
    fits.productId = 0x5780;
    bus.ReconfigureDevice(2, fits);
    EXPECT_EQ(HidIsDevicePresent(1), 1);
}

} // namespace

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid_commands.h"
#include "sim_hid_bus.h"
#include "update_state.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char kOpenLine[] = "USB HID Device VID[0483] PID[5780] Open Success.\n";

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetUpdateStateForTest();
        g_deviceIndex = 1;
    }
    void TearDown() override
    {
        EXPECT_EQ(bus.OpenHandles(), 0u) << "a handle or event was left open";
        EXPECT_THAT(bus.Misuse(), IsEmpty());
        EXPECT_THAT(bus.ProtocolViolations(), IsEmpty());
    }

    int AddUnit(std::uint16_t productId = 0x5780)
    {
        SimDeviceConfig config;
        config.productId = productId;
        return bus.AddDevice(config);
    }

    SimHidBus bus;
};

TEST_F(CommandsTest, EachTransactionSendsOneCommandReport)
{
    const int unit = AddUnit();
    EXPECT_EQ(HidEraseSectors(640, 512), 512u);
    EXPECT_EQ(HidSendTestCommand(2), 0);
    EXPECT_EQ(HidSendRadarPass1Command(), 0);
    EXPECT_EQ(HidSendRadarPass2Command(), 0);
    EXPECT_EQ(HidSendFinishCommand(), 0);

    EXPECT_THAT(bus.Commands(unit),
                ElementsAre(SimCommand{CMD_ERASE_SECTORS, 640, 512}, SimCommand{CMD_TEST, 0x12345678, 2},
                            SimCommand{CMD_RADAR_PASS1, 0x12345678, 0xABCDEF01},
                            SimCommand{CMD_RADAR_PASS2, 0x12345678, 0xABCDEF01},
                            SimCommand{CMD_FINISH, 0x12345678, 0xABCDEF01}));
    EXPECT_EQ(bus.ReportsTaken(unit), 5u);
    // Every transaction opened the unit afresh.
    EXPECT_EQ(bus.CallCount(SimCall::GetClassDevs), 5u);
    EXPECT_EQ(bus.CallCount(SimCall::CreateEvent), 15u);
}

TEST_F(CommandsTest, TransactionClosesTheDeviceAfterItsWrite)
{
    AddUnit();
    HidSendFinishCommand();
    std::vector<std::string> tail = SimDescribe(bus.Calls());
    tail.erase(tail.begin(), tail.end() - 13);
    EXPECT_THAT(tail, ElementsAre("StdOut", "WriteFile", "Wait", "ResetEvent", "DebugString",
                                  "GetOverlappedResult", "CancelIo:read", "CancelIo:write",
                                  "CloseHandle:read", "CloseHandle:write", "CloseHandle:event",
                                  "CloseHandle:event", "CloseHandle:event"));
}

TEST_F(CommandsTest, TraceLinesOfWrittenCommands)
{
    AddUnit();
    HidEraseSectors(2023, 1);
    EXPECT_THAT(bus.DebugLines(), ElementsAre(L"Erase sectors\n", L"write ok\r\n"));
    EXPECT_THAT(bus.StdOutLines(), IsEmpty());

    bus.ClearTraces();
    HidSendTestCommand(1);
    HidSendRadarPass1Command();
    HidSendRadarPass2Command();
    HidSendFinishCommand();
    const std::vector<std::string> twoLines{kOpenLine, ">>> Test command\n"};
    std::vector<std::string> expected;
    for (int i = 0; i < 4; ++i)
        expected.insert(expected.end(), twoLines.begin(), twoLines.end());
    EXPECT_EQ(bus.StdOutLines(), expected);
    EXPECT_EQ(bus.DebugLines(), std::vector<std::wstring>(4, L"write ok\r\n"));
}

TEST_F(CommandsTest, WithoutTheUnitNothingIsWrittenAndAllReturnZero)
{
    AddUnit(0x1234);
    EXPECT_EQ(HidEraseSectors(0, 640), 0u);
    EXPECT_THAT(bus.DebugLines(), ElementsAre(L"Can't Open HID Device\n"));
    EXPECT_THAT(bus.StdOutLines(), IsEmpty());

    bus.ClearTraces();
    EXPECT_EQ(HidSendTestCommand(2), 0);
    EXPECT_EQ(HidSendRadarPass1Command(), 0);
    EXPECT_EQ(HidSendRadarPass2Command(), 0);
    EXPECT_EQ(HidSendFinishCommand(), 0);
    EXPECT_EQ(bus.StdOutLines(), std::vector<std::string>(4, "Can't Open HID Device\n"));
    EXPECT_THAT(bus.DebugLines(), IsEmpty());

    EXPECT_EQ(bus.WriteCalls(), 0u);
    EXPECT_EQ(bus.CallCount(SimCall::CreateEvent), 15u) << "events are made and closed all the same";
}

TEST_F(CommandsTest, FailedWritesTraceTheirErrorAndStillCloseTheDevice)
{
    const int unit = AddUnit();
    bus.FailWritesFrom(1, SimWriteFault::NoSignal);
    EXPECT_EQ(HidEraseSectors(640, 512), 0u);
    EXPECT_THAT(bus.DebugLines(), ElementsAre(L"Erase sectors\n", L"ERROR: Send erase command error!\n"));

    bus.ClearTraces();
    bus.FailWritesFrom(1, SimWriteFault::Refuse);
    EXPECT_EQ(HidSendTestCommand(1), 0);
    EXPECT_EQ(HidSendFinishCommand(), 0);
    EXPECT_THAT(bus.StdOutLines(),
                ElementsAre(kOpenLine, ">>> Test command\n", "ERROR: Send test command error!\n",
                            kOpenLine, ">>> Test command\n", "ERROR: Send test command error!\n"));
    EXPECT_THAT(bus.DebugLines(), IsEmpty());
    EXPECT_EQ(bus.CallCount(SimCall::CancelIo), 6u);
    EXPECT_EQ(bus.ReportsTaken(unit), 1u) << "only the timed-out erase reached the unit";
}

TEST_F(CommandsTest, EraseOfNoSectorsReturnsZeroLikeAFailure)
{
    const int unit = AddUnit();
    EXPECT_EQ(HidEraseSectors(5, 0), 0u);
    EXPECT_THAT(bus.Commands(unit), ElementsAre(SimCommand{CMD_ERASE_SECTORS, 5, 0}));
}

TEST_F(CommandsTest, FoundIndexIsReadAfreshByEachTransaction)
{
    const int unit = AddUnit(0x5780);
    const int zero = AddUnit(0x0000);
    HidSendTestCommand(1);
    g_deviceIndex = 0;
    HidSendTestCommand(2);
    EXPECT_THAT(bus.Commands(unit), ElementsAre(SimCommand{CMD_TEST, 0x12345678, 1}));
    EXPECT_THAT(bus.Commands(zero), ElementsAre(SimCommand{CMD_TEST, 0x12345678, 2}));
    EXPECT_EQ(bus.StdOutLines().at(2), "USB HID Device VID[0483] PID[0000] Open Success.\n");

    // An index that names no entry of the table opens nothing.
    g_deviceIndex = 7;
    EXPECT_EQ(HidEraseSectors(1, 1), 0u);
    EXPECT_EQ(bus.ReportsTaken(unit) + bus.ReportsTaken(zero), 2u);
}

} // namespace

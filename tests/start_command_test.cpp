#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "fake_images.h"
#include "hid_commands.h"
#include "recording_window.h"
#include "sim_hid_bus.h"
#include "start_command.h"
#include "update_state.h"
#include "update_worker.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char kE16[] = "message Ошибка E16\nУстройство не подключено！";
constexpr std::chrono::seconds kWorkerLimit{20};

class FakeStartHost : public StartHost {
public:
    explicit FakeStartHost(SimHidBus& bus) : m_bus(bus) {}

    int UpdateDoneFlag() override { return doneFlag; }
    void Cancel() override { calls.push_back("cancel"); }
    void ShowMessage(const wchar_t* text) override { calls.push_back("message " + Utf8(text)); }
    void StartTimer(UINT_PTR id, UINT ms) override
    {
        calls.push_back("timer " + std::to_string(id) + " " + std::to_string(ms));
    }
    WorkerWindow* NewWorkerWindow() override
    {
        calls.push_back("worker");
        deviceHandlesAtLaunch = m_bus.OpenHandles(SimHandleKind::QueryHandle) +
                                m_bus.OpenHandles(SimHandleKind::ReadHandle) +
                                m_bus.OpenHandles(SimHandleKind::WriteHandle);
        return workerFails ? nullptr : new RecordingWindow(L"C:\\tool\\", log);
    }

    int doneFlag = 0;
    bool workerFails = false;  // the worker's window cannot be made
    std::vector<std::string> calls;
    std::size_t deviceHandlesAtLaunch = 0;
    std::shared_ptr<WindowLog> log = std::make_shared<WindowLog>();

private:
    SimHidBus& m_bus;
};

class StartCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetUpdateStateForTest();
        g_pImage = transfer.data();
    }
    void TearDown() override
    {
        EXPECT_TRUE(WorkerEnded());
        EXPECT_EQ(bus.OpenHandles(), 0u);
        EXPECT_THAT(bus.Misuse(), IsEmpty());
        ResetUpdateStateForTest();
    }

    // The worker deletes its window, then gives up its claim; both bounded.
    bool WorkerEnded()
    {
        if (!host.calls.empty() && host.calls.back() == "worker" && !host.log->WaitReleased(kWorkerLimit))
            return false;
        for (int i = 0; i < 2000 && UpdateWorkerRunning(); ++i)
            Sleep(5);
        return !UpdateWorkerRunning();
    }

    std::vector<unsigned char> transfer = std::vector<unsigned char>(0x400000);
    SimHidBus bus;
    FakeImages images;
    FakeStartHost host{bus};
};

TEST_F(StartCommand, WithoutUnitShowsE16AndAUnitPluggedInLaterStartsTheUpdate)
{
    OnStartPressed(host);
    EXPECT_THAT(host.calls, ElementsAre(kE16));
    EXPECT_EQ(g_deviceIndex, 0);
    EXPECT_FALSE(UpdateWorkerRunning());
    EXPECT_EQ(bus.OpenHandles(), 0u);

    const int unit = bus.AddDevice();
    host.calls.clear();
    OnStartPressed(host);
    EXPECT_THAT(host.calls, ElementsAre("timer 1 1000", "timer 2 1000", "worker"));
    EXPECT_EQ(g_deviceIndex, 1);
    EXPECT_EQ(host.deviceHandlesAtLaunch, 0u) << "the search's device handles are closed before the worker";
    ASSERT_TRUE(WorkerEnded());
    EXPECT_TRUE(host.log->Has("done"));
    EXPECT_THAT(bus.Commands(unit), ElementsAre(SimCommand{CMD_ERASE_SECTORS, 2023, 1},
                                                SimCommand{CMD_FINISH, HID_CMD_KEY, HID_CMD_KEY2}));
}

TEST_F(StartCommand, OnlyAUnitAnsweringToEntryOneStartsAnUpdate)
{
    const std::vector<std::vector<std::uint16_t>> buses = {{0x5780, 0x0000}, {0x03B4}, {0x005A}};
    for (const auto& productIds : buses) {
        SimHidBus local;
        for (std::uint16_t id : productIds) {
            SimDeviceConfig config;
            config.productId = id;
            local.AddDevice(config);
        }
        host.calls.clear();
        OnStartPressed(host);
        EXPECT_THAT(host.calls, ElementsAre(kE16)) << "product id " << std::hex << productIds.back();
        EXPECT_EQ(g_deviceIndex, 0);
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

// The worker that could not start gives Start back, and the index found
// stays: the next press, with the unit gone, starts an update all the same.
TEST_F(StartCommand, WorkerThatCannotStartLeavesStartFreeAndTheIndexFound)
{
    const int unit = bus.AddDevice();
    host.workerFails = true;
    OnStartPressed(host);
    EXPECT_THAT(host.calls, ElementsAre("timer 1 1000", "timer 2 1000", "worker"));
    EXPECT_FALSE(UpdateWorkerRunning());

    bus.Unplug(unit);
    host.workerFails = false;
    host.calls.clear();
    OnStartPressed(host);
    EXPECT_THAT(host.calls, ElementsAre("timer 1 1000", "timer 2 1000", "worker"));
    EXPECT_EQ(g_deviceIndex, 1);
    ASSERT_TRUE(WorkerEnded());
    EXPECT_TRUE(host.log->Has("done"));
}

TEST_F(StartCommand, FinishedFlagOfOneClosesWithoutSearching)
{
    host.doneFlag = 1;
    OnStartPressed(host);
    EXPECT_THAT(host.calls, ElementsAre("cancel"));
    EXPECT_EQ(bus.CallCount(SimCall::GetClassDevs), 0u);
    EXPECT_EQ(bus.CallCount(SimCall::CreateEvent), 0u) << "no command object is built";

    host.doneFlag = 2;  // only the value 1 means finished
    host.calls.clear();
    OnStartPressed(host);
    EXPECT_THAT(host.calls, ElementsAre(kE16));
    EXPECT_GT(bus.CallCount(SimCall::GetClassDevs), 0u);
}

TEST_F(StartCommand, PressWhileAWorkerRunsDoesNothing)
{
    const int unit = bus.AddDevice();
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> held{false};
    // Holds the worker before it has disabled Start, as a queued press finds it.
    host.log->hook = [&](const std::string&) {
        if (!held.exchange(true)) {
            SetEvent(entered);
            WaitForSingleObject(release, 20000);
        }
    };

    OnStartPressed(host);
    ASSERT_EQ(WaitForSingleObject(entered, 20000), WAIT_OBJECT_0);
    bus.ClearCalls();
    host.calls.clear();
    OnStartPressed(host);
    EXPECT_THAT(host.calls, IsEmpty());
    EXPECT_THAT(bus.Calls(), IsEmpty()) << "no search while a worker runs";

    SetEvent(release);
    ASSERT_TRUE(WorkerEnded());
    EXPECT_THAT(bus.Commands(unit), ElementsAre(SimCommand{CMD_ERASE_SECTORS, 2023, 1},
                                                SimCommand{CMD_FINISH, HID_CMD_KEY, HID_CMD_KEY2}));
    CloseHandle(entered);
    CloseHandle(release);
}

} // namespace

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "fake_images.h"
#include "hid_commands.h"
#include "hid_write_pages.h"
#include "sim_hid_bus.h"
#include "update_state.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char kOpenLine[] = "USB HID Device VID[0483] PID[5780] Open Success.\n";

// An image whose last byte is the last one before a page that cannot be
// read, so any read past its end faults the test.
class GuardedImage : public GuardedBytes {
public:
    explicit GuardedImage(std::size_t size) : GuardedBytes(Counting(size)) {}
    std::vector<unsigned char> bytes() const { return std::vector<unsigned char>(data(), data() + size()); }

private:
    static std::vector<unsigned char> Counting(std::size_t size)
    {
        std::vector<unsigned char> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(i * 7 + i / 256);
        return bytes;
    }
};

class WritePagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetUpdateStateForTest();
        g_deviceIndex = 1;
        unit = bus.AddDevice();
    }
    void TearDown() override
    {
        EXPECT_EQ(bus.OpenHandles(), 0u) << "a handle or event was left open";
        EXPECT_THAT(bus.Misuse(), IsEmpty());
        EXPECT_THAT(bus.ProtocolViolations(), IsEmpty());
    }

    void UseImage(const GuardedImage& image) { g_pImage = image.data(); }

    SimHidBus bus;
    int unit = 0;
};

TEST_F(WritePagesTest, FullRunSendsFourDataReportsPerPage)
{
    GuardedImage image(3 * 256);
    UseImage(image);
    EXPECT_EQ(HidWritePages(80, 3), 768u);

    EXPECT_THAT(bus.Commands(unit), ElementsAre(SimCommand{CMD_WRITE_PAGES, 80, 3}));
    EXPECT_EQ(bus.DataReportsTaken(unit), 12u);
    EXPECT_EQ(bus.PendingDataReports(unit), 0u);
    EXPECT_EQ(bus.Flash(unit, 80, 3), image.bytes());
    EXPECT_THAT(bus.StdOutLines(), ElementsAre(kOpenLine, ">>> Write pages: 80 - 82\n"));
    std::vector<std::wstring> debug{L"write ok\r\n", L"Write\n"};
    debug.insert(debug.end(), 12, L"write ok\r\n");
    EXPECT_EQ(bus.DebugLines(), debug);
    for (const SimCallRecord& write : bus.Calls(SimCall::WriteFile))
        EXPECT_EQ(write.length, 65u);
    EXPECT_EQ(g_nPhase, PHASE_DATA);
}

TEST_F(WritePagesTest, DatabaseSizedRun)
{
    bus.SetRecording(false);
    GuardedImage image(8192 * 256);
    UseImage(image);
    g_nStage = STAGE_DATABASE;
    g_nDatabasePages = 8192;
    EXPECT_EQ(HidWritePages(10240, 8192), 8192u * 256);
    EXPECT_EQ(bus.DataReportsTaken(unit), 4u * 8192);
    EXPECT_EQ(bus.Flash(unit, 10240, 8192), image.bytes());
    EXPECT_EQ(g_nProgress, 8192 + 8191);

    bus.SetRecording(true);
    g_pImage = nullptr;
    HidWritePages(10240, 0);
    EXPECT_EQ(bus.StdOutLines().at(1), ">>> Write pages: 10240 - 10239\n");
}

TEST_F(WritePagesTest, ProgressFollowsTheStageAfterEachReport)
{
    GuardedImage image(4 * 256);
    UseImage(image);
    g_nDatabasePages = 100;
    g_nFirmwarePages = 200;
    g_nAudioPages = 300;
    g_nRadarPages = 400;
    struct Stage {
        std::int32_t stage;
        std::int32_t base;
    };
    const Stage stages[] = {{STAGE_DATABASE, 100}, {STAGE_FIRMWARE, 200}, {STAGE_AUDIO, 300},
                            {STAGE_RADAR_PASS1, 0}, {STAGE_RADAR_PASS2, 400}};
    for (const Stage& s : stages) {
        g_nStage = s.stage;
        // After k whole reports the (k+1)th fails: progress is that of report k.
        for (std::uint32_t k : {1u, 4u, 5u, 9u}) {
            g_nPhase = PHASE_FIRMWARE_PREP;
            bus.FailWrite(1 + k + 1, SimWriteFault::Refuse);
            EXPECT_EQ(HidWritePages(0, 4), 64u * k) << s.stage << " " << k;
            EXPECT_EQ(g_nPhase, PHASE_DATA);
            EXPECT_EQ(g_nProgress, s.base + std::int32_t(64 * (k - 1) / 256)) << s.stage << " " << k;
        }
        EXPECT_EQ(HidWritePages(0, 4), 1024u);
        EXPECT_EQ(g_nProgress, s.base + 3);
    }

    for (std::int32_t other : {std::int32_t(STAGE_NONE), std::int32_t(STAGE_FINISHED), std::int32_t(7)}) {
        g_nStage = other;
        g_nPhase = PHASE_NONE;
        g_nProgress = 77;
        EXPECT_EQ(HidWritePages(0, 4), 1024u);
        EXPECT_EQ(g_nPhase, PHASE_DATA);
        EXPECT_EQ(g_nProgress, 77);
    }
}

TEST_F(WritePagesTest, FailedDataReportEndsTheTransfer)
{
    GuardedImage image(2 * 256);
    UseImage(image);
    g_nStage = STAGE_AUDIO;
    g_nPhase = PHASE_AUDIO_PREP;
    g_nProgress = 5;

    bus.FailWrite(2, SimWriteFault::NoSignal);
    EXPECT_EQ(HidWritePages(0, 2), 0u) << "the first data report failed";
    EXPECT_EQ(g_nPhase, PHASE_AUDIO_PREP);
    EXPECT_EQ(g_nProgress, 5);
    EXPECT_EQ(bus.StdOutLines().back(), "ERROR: Write fail!\n");
    EXPECT_EQ(bus.WriteCalls(), 2u) << "nothing is retried";

    // The unit vanishes after the command and six data reports.
    bus.UnplugAfterReports(unit, 7);
    const std::uint64_t before = bus.WriteCalls();
    EXPECT_EQ(HidWritePages(0, 2), 6u * 64);
    EXPECT_EQ(bus.WriteCalls() - before, 8u);
    EXPECT_EQ(bus.StdOutLines().back(), "ERROR: Write fail!\n");
}

TEST_F(WritePagesTest, NoPagesSendsOnlyTheCommand)
{
    g_nPhase = PHASE_FIRMWARE_PREP;
    g_nProgress = 9;
    EXPECT_EQ(HidWritePages(80, 0), 0u);
    EXPECT_THAT(bus.StdOutLines(), ElementsAre(kOpenLine, ">>> Write pages: 80 - 79\n"));
    EXPECT_THAT(bus.DebugLines(), ElementsAre(L"write ok\r\n", L"Write\n"));
    EXPECT_THAT(bus.Commands(unit), ElementsAre(SimCommand{CMD_WRITE_PAGES, 80, 0}));
    EXPECT_EQ(bus.ReportsTaken(unit), 1u);
    EXPECT_EQ(g_nPhase, PHASE_FIRMWARE_PREP);
    EXPECT_EQ(g_nProgress, 9);
}

TEST_F(WritePagesTest, EarlyEndsLeaveTheStateAlone)
{
    GuardedImage image(256);
    UseImage(image);
    g_nPhase = PHASE_DATABASE_PREP;
    g_nProgress = 3;

    bus.Unplug(unit);
    EXPECT_EQ(HidWritePages(10240, 1), 0u);
    EXPECT_THAT(bus.DebugLines(), ElementsAre(L"Can't Open HID Device\n"));
    EXPECT_THAT(bus.StdOutLines(), IsEmpty());

    bus.Replug(unit);
    bus.ClearTraces();
    bus.FailWrite(1, SimWriteFault::Abort);
    EXPECT_EQ(HidWritePages(10240, 1), 0u);
    EXPECT_THAT(bus.StdOutLines(), ElementsAre(kOpenLine, ">>> Write pages: 10240 - 10240\n",
                                               "ERROR: Send read command error!\n"));
    EXPECT_THAT(bus.DebugLines(), IsEmpty()) << "no \"Write\" after a failed command";
    EXPECT_EQ(bus.WriteCalls(), 1u);
    EXPECT_EQ(g_nPhase, PHASE_DATABASE_PREP);
    EXPECT_EQ(g_nProgress, 3);
}

TEST_F(WritePagesTest, ShortTransferEndsTheRunWithoutReadingPastTheImage)
{
    GuardedImage image(256);
    UseImage(image);
    // Counts that would stall the offset, move it back, or push the next
    // report off the 64-byte grid.
    const DWORD counts[] = {0, 1, 2, 10, 64, 66, 0xFFFFFFFF};
    const std::uint32_t sent[] = {128, 128, 129, 137, 191, 128, 128};
    for (int i = 0; i < 7; ++i) {
        bus.ClearTraces();
        bus.FailWrite(1 + 3, SimWriteFault::ShortCount, counts[i]);
        EXPECT_EQ(HidWritePages(0, 1), sent[i]) << counts[i];
        EXPECT_EQ(bus.StdOutLines().back(), "ERROR: Write fail!\n") << counts[i];
    }
    EXPECT_EQ(bus.DataReportsTaken(unit), 7u * 3);
    EXPECT_EQ(bus.AbandonedTransfers(unit), 6u);
    EXPECT_EQ(bus.PendingDataReports(unit), 1u);
}

TEST_F(WritePagesTest, MissingImageSendsNoData)
{
    g_pImage = nullptr;
    EXPECT_EQ(HidWritePages(0, 1), 0u);
    EXPECT_EQ(bus.DataReportsTaken(unit), 0u);
    EXPECT_EQ(bus.StdOutLines().back(), "ERROR: Write fail!\n");
}

} // namespace

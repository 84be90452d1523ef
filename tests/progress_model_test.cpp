#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "progress_model.h"
#include "resource.h"
#include "update_state.h"

namespace {

class RecordingView : public ProgressView {
public:
    void SetBarPos(int barId, int pos) override { calls.push_back("pos " + std::to_string(barId) + " " + std::to_string(pos)); }
    void KillTimer(UINT_PTR timerId) override { calls.push_back("kill " + std::to_string(timerId)); }
    void SetDeviceStateText(const wchar_t* text) override { deviceText = text; }

    std::vector<std::string> calls;
    std::wstring deviceText;
};

class ProgressModel : public ::testing::Test {
protected:
    void SetUp() override { ResetUpdateStateForTest(); }
    void TearDown() override { ResetUpdateStateForTest(); }

    // Values of the progress value after each tick of timer 2.
    std::vector<int> Ticks(int count)
    {
        std::vector<int> values;
        for (int i = 0; i < count; ++i) {
            ProgressTimerTick(TIMER_ERASE_PROGRESS, view);
            values.push_back(g_nProgress);
        }
        return values;
    }

    RecordingView view;
};

std::string Pos(int bar, int pos)
{
    return "pos " + std::to_string(bar) + " " + std::to_string(pos);
}

TEST(BarLength, IsPagesTimesTwoPointOneTruncated)
{
    const std::map<int, int> expected = {{0, 0},       {1, 2},       {5, 10},      {10, 21},
                                         {160, 336},   {184, 386},   {300, 630},   {800, 1680},
                                         {3518, 7387}, {8192, 17203}, {10240, 21504}, {31207, 65534}};
    for (const auto& [pages, length] : expected)
        EXPECT_EQ(BarLength(pages), length) << pages << " pages";
    for (int pages = 0; pages < (1 << 16); ++pages)
        ASSERT_EQ(BarLength(pages), 21 * pages / 10) << pages << " pages";
}

TEST(BarLength, RangeBoundKeepsTheLowSixteenBits)
{
    EXPECT_EQ(BarRangeUpper(31207), 65534);
    EXPECT_EQ(BarLength(31208), 65536);
    EXPECT_EQ(BarRangeUpper(31208), 0);
    EXPECT_EQ(BarRangeUpper(40000), (21 * 40000 / 10) & 0xFFFF);
}

TEST_F(ProgressModel, NothingMovesBeforeTheFirstRegion)
{
    ProgressTimerTick(TIMER_PROGRESS, view);
    ProgressTimerTick(TIMER_ERASE_PROGRESS, view);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(g_nProgress, 1);
}

TEST_F(ProgressModel, TimerOneSetsBarsByStage)
{
    g_nDatabasePages = 300;
    g_nFirmwarePages = 160;
    g_nAudioPages = 3518;
    g_nRadarPages = 184;
    g_nProgress = 77;

    // Earlier regions' bars are full; the running one shows the value.
    const std::string database = Pos(IDC_PROGRESS_DATABASE, 630), firmware = Pos(IDC_PROGRESS_FIRMWARE, 336),
                      audio = Pos(IDC_PROGRESS_AUDIO, 7387);
    const struct {
        int stage;
        std::vector<std::string> calls;
    } stages[] = {
        {STAGE_DATABASE, {Pos(IDC_PROGRESS_DATABASE, 77)}},
        {STAGE_FIRMWARE, {database, Pos(IDC_PROGRESS_FIRMWARE, 77)}},
        {STAGE_AUDIO, {database, firmware, Pos(IDC_PROGRESS_AUDIO, 77)}},
        {STAGE_RADAR_PASS1, {database, firmware, audio, Pos(IDC_PROGRESS_RADAR, 77)}},
        {STAGE_RADAR_PASS2, {database, firmware, audio, Pos(IDC_PROGRESS_RADAR, 77)}},
    };
    for (const auto& s : stages) {
        view.calls.clear();
        g_nStage = s.stage;
        ProgressTimerTick(TIMER_PROGRESS, view);
        EXPECT_EQ(view.calls, s.calls) << "stage " << s.stage;
    }
}

TEST_F(ProgressModel, StageSixFillsEveryBarThenStopsTimersOneThenTwo)
{
    g_nFirmwarePages = 160;  // the database region did not run
    g_nAudioPages = 3518;
    g_nRadarPages = 184;
    g_nStage = STAGE_FINISHED;
    ProgressTimerTick(TIMER_PROGRESS, view);
    EXPECT_EQ(view.calls, (std::vector<std::string>{Pos(IDC_PROGRESS_DATABASE, 0), Pos(IDC_PROGRESS_FIRMWARE, 336),
                                                    Pos(IDC_PROGRESS_AUDIO, 7387), Pos(IDC_PROGRESS_RADAR, 386),
                                                    "kill 1", "kill 2"}));
}

TEST_F(ProgressModel, UnknownStagesAndTimerIdsDoNothing)
{
    for (int stage : {-1, 7, 100}) {
        g_nStage = stage;
        ProgressTimerTick(TIMER_PROGRESS, view);
    }
    g_nStage = STAGE_DATABASE;
    g_nPhase = PHASE_DATABASE_PREP;
    g_nDatabasePages = 600;
    for (UINT_PTR id : {UINT_PTR(0), UINT_PTR(4), UINT_PTR(0x7FFF)})
        ProgressTimerTick(id, view);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(g_nProgress, 1);
}

TEST_F(ProgressModel, TimerTwoStepsUpToJustPastThePageCountPlusTen)
{
    // Each region's preparation phase: its page count, and the value after
    // chosen ticks (counted from 0): first step, last steps before the cap, held.
    const struct {
        std::atomic<std::int32_t>* pages;
        int count, phase, ticks;
        std::map<int, int> after;
    } regions[] = {
        {&g_nDatabasePages, 300, PHASE_DATABASE_PREP, 70, {{0, 6}, {1, 11}, {60, 306}, {61, 311}, {69, 311}}},
        {&g_nFirmwarePages, 160, PHASE_FIRMWARE_PREP, 15, {{0, 17}, {9, 161}, {10, 177}, {14, 177}}},
        {&g_nAudioPages, 3518, PHASE_AUDIO_PREP, 70, {{0, 59}, {59, 3481}, {60, 3539}, {69, 3539}}},
    };
    for (const auto& r : regions) {
        *r.pages = r.count;
        g_nPhase = r.phase;
        g_nProgress = 1;
        const std::vector<int> values = Ticks(r.ticks);
        for (const auto& [tick, value] : r.after)
            EXPECT_EQ(values[tick], value) << r.count << " pages, tick " << tick;
    }
}

TEST_F(ProgressModel, TimerTwoAdvancesFromExactlyTheCap)
{
    g_nDatabasePages = 600;  // step 10
    g_nPhase = PHASE_DATABASE_PREP;
    g_nProgress = 610;
    EXPECT_EQ(Ticks(2), (std::vector<int>{620, 620}));
}

TEST_F(ProgressModel, TimerTwoStepOfZeroAndOtherPhasesLeaveTheValue)
{
    g_nDatabasePages = 59;
    g_nFirmwarePages = 8;
    g_nAudioPages = 59;
    for (int phase : {int(PHASE_DATABASE_PREP), int(PHASE_FIRMWARE_PREP), int(PHASE_AUDIO_PREP), int(PHASE_NONE), int(PHASE_RADAR_PREP), int(PHASE_DATA), 4}) {
        g_nPhase = phase;
        g_nRadarPages = 10000;
        EXPECT_EQ(Ticks(3), (std::vector<int>{1, 1, 1})) << "phase " << phase;
    }
    EXPECT_TRUE(view.calls.empty());
}

} // namespace

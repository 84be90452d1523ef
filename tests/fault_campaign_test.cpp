// Every failure the simulated unit can produce, at every kind of report an
// update sends, with the end each one must lead to worked out from the rules
// rather than recorded from a run; then the database file's bad inputs, on
// real files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "image_platform.h"
#include "recording_window.h"
#include "temp_folder.h"
#include "update_worker.h"
#include "worker_expectations.h"

using ::testing::ElementsAreArray;

namespace {

using namespace workertest;

// A worker that has not ended by then is taken as hung.
constexpr DWORD kWorkerLimitMs = 30000;

// --- the planned update: its regions and, in each, its transactions

struct Step {
    const char* name;
    SimCommand command;
    int stage;  // a page write: the stage it writes in; 0 for the other commands
};

struct Region {
    const RegionView* view;  // null for the end sequence
    int pages;
    std::vector<Step> steps;
};

// Image sizes of a layout; a negative size leaves that source out.
struct Layout {
    const char* name;
    int database, firmware, audio, radar;
};

// Unaligned sizes go out through the worker's padding, aligned ones straight
// from the guarded image: an over-read faults either way.
const Layout kFull{"Full", 1000, 4096, 600, 2048};          // 4, 16, 3 and 8 pages
const Layout kEmptyDatabase{"EmptyDatabase", 0, 4096, 600, 2048};

int Pages(int size, int granularity) { return (size + granularity - 1) / granularity * granularity / 256; }

std::vector<Region> Plan(const Layout& l)
{
    const SimCommand pass1{CMD_RADAR_PASS1, HID_CMD_KEY, HID_CMD_KEY2};
    const SimCommand pass2{CMD_RADAR_PASS2, HID_CMD_KEY, HID_CMD_KEY2};
    auto write = [](std::uint32_t first, int pages) { return SimCommand{CMD_WRITE_PAGES, first, std::uint32_t(pages)}; };
    std::vector<Region> plan;
    if (l.database >= 0) {
        const int p = Pages(l.database, 256);
        plan.push_back({&kDatabase, p,
                        {{"DatabaseErase", {CMD_ERASE_SECTORS, 640, 512}, 0},
                         {"DatabaseTest", {CMD_TEST, HID_CMD_KEY, 2}, 0},
                         {"DatabaseWrite", write(10240, p), 1}}});
    }
    if (l.firmware >= 0) {
        const int p = Pages(l.firmware, 2048);
        plan.push_back({&kFirmware, p,
                        {{"FirmwareTest", {CMD_TEST, HID_CMD_KEY, 1}, 0}, {"FirmwareWrite", write(80, p), 2}}});
    }
    if (l.audio >= 0) {
        const int p = Pages(l.audio, 256);
        plan.push_back({&kAudio, p,
                        {{"AudioErase", {CMD_ERASE_SECTORS, 0, 640}, 0},
                         {"AudioTest", {CMD_TEST, HID_CMD_KEY, 2}, 0},
                         {"AudioWrite", write(0, p), 3}}});
    }
    if (l.radar >= 0) {
        const int p = Pages(l.radar, 1024);
        plan.push_back({&kRadar, p,
                        {{"RadarPass1", pass1, 0}, {"RadarWrite1", write(0, p), 4},
                         {"RadarPass2", pass2, 0}, {"RadarWrite2", write(0, p), 5}}});
    }
    plan.push_back({nullptr, 0,
                    {{"EndErase", {CMD_ERASE_SECTORS, 2023, 1}, 0},
                     {"Finish", {CMD_FINISH, HID_CMD_KEY, HID_CMD_KEY2}, 0}}});
    return plan;
}

// --- the faults

enum class Kind { Refuse, NoSignal, Abort, ShortCount, Unplug };
const char* const kKindNames[] = {"Refuse", "NoSignal", "Abort", "ShortCount", "Unplug"};

struct FaultCase {
    std::string name;
    const Layout* layout;
    std::uint64_t report;  // which report of the planned update fails, from 1
    Kind kind;
    DWORD count;           // ShortCount: what the completed write reports
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

std::vector<FaultCase> FaultCases()
{
    std::vector<FaultCase> cases;
    auto add = [&cases](const Layout& layout, std::uint64_t report, const std::string& point, DWORD count) {
        for (int k = 0; k < 5; ++k)
            cases.push_back({std::string(layout.name) + "_" + point + "_" + kKindNames[k], &layout, report,
                             static_cast<Kind>(k), count});
    };
    for (const Layout* layout : {&kFull, &kEmptyDatabase}) {
        std::uint64_t report = 0;
        for (const Region& region : Plan(*layout)) {
            // The empty database layout is there for its own region's zero-page write.
            const bool campaign = layout == &kFull || region.view == &kDatabase;
            for (const Step& step : region.steps) {
                const std::uint64_t command = ++report;
                const std::uint64_t data = step.stage ? 4ull * region.pages : 0;
                report += data;
                if (!campaign)
                    continue;
                add(*layout, command, std::string(step.name) + (step.stage ? "_Command" : ""), 33);
                if (data == 0)
                    continue;
                add(*layout, command + 1, std::string(step.name) + "_FirstData", 0);
                add(*layout, command + data / 2, std::string(step.name) + "_MiddleData", 33);
                add(*layout, command + data, std::string(step.name) + "_LastData", 64);
            }
        }
    }
    return cases;
}

// What the rules say an update with this fault ends as.
struct Outcome {
    bool completed = true;
    int stage = 6;
    std::vector<SimCommand> commands;  // what the unit decodes, in order
    std::uint64_t dataReports = 0;     // data reports the unit takes
    std::uint64_t pendingData = 0;     // announced and never sent
    std::vector<std::string> lines;
};

Outcome Predict(const FaultCase& c)
{
    Outcome out;
    out.lines = kStartLines;
    bool gone = false;  // unplugged, and nothing plugs it back in
    std::uint64_t report = 0;
    for (const Region& region : Plan(*c.layout)) {
        if (region.view)
            Append(out.lines, Begun(*region.view, region.pages));
        for (const Step& step : region.steps) {
            const std::uint64_t command = ++report;
            const bool hit = c.report == command;
            if (!step.stage) {
                // Nobody looks at these results: a lost command is only a missing line in the unit's log.
                if (gone)
                    continue;
                if (hit && (c.kind == Kind::Refuse || c.kind == Kind::Unplug)) {
                    gone = c.kind == Kind::Unplug;
                    continue;
                }
                out.commands.push_back(step.command);
                continue;
            }

            const std::uint64_t data = 4ull * region.pages;
            report += data;
            bool written = true;
            if (gone) {
                written = region.pages == 0;  // a write that cannot open returns 0
            } else if (hit) {
                if (c.kind == Kind::Unplug)
                    gone = true;
                if (c.kind != Kind::Refuse && c.kind != Kind::Unplug)
                    out.commands.push_back(step.command);
                if (c.kind == Kind::ShortCount) {
                    out.dataReports += data;  // the command's count is not looked at
                } else {
                    written = region.pages == 0;
                    out.pendingData = c.kind == Kind::Refuse || c.kind == Kind::Unplug ? 0 : data;
                }
            } else {
                out.commands.push_back(step.command);
                if (c.report > command && c.report <= command + data) {
                    const std::uint64_t taken =
                        c.report - command - (c.kind == Kind::Refuse || c.kind == Kind::Unplug ? 1 : 0);
                    out.dataReports += taken;
                    out.pendingData = data - taken;
                    written = false;
                } else {
                    out.dataReports += data;
                }
            }
            if (!written) {
                out.completed = false;
                out.stage = step.stage;
                Append(out.lines, kFailureLines);
                return out;
            }
        }
        if (region.view)
            Append(out.lines, Succeeded(*region.view, region.pages));
    }
    Append(out.lines, kEndLines);
    return out;
}

// --- running the worker as the program does, on a thread of its own

DWORD RunWorker(const std::shared_ptr<WindowLog>& log, const std::wstring& dir)
{
    auto* window = new RecordingWindow(dir, log);
    HANDLE thread = CreateThread(nullptr, 0, UpdateThreadProc, window, 0, nullptr);
    if (!thread) {
        delete window;
        ADD_FAILURE() << "no worker thread";
        return 2;
    }
    if (WaitForSingleObject(thread, kWorkerLimitMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the worker did not end within " << kWorkerLimitMs << " ms";
        std::fflush(stdout);
        // It still uses the bus and images this test would now tear down.
        ExitProcess(3);
    }
    DWORD code = 2;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_TRUE(log->WaitReleased(std::chrono::milliseconds(0))) << "the worker kept its window";
    return code;
}

class WorkerOnItsThread : public WorkerAgainstUnit {
protected:
    std::shared_ptr<WindowLog> log = std::make_shared<WindowLog>();
};

class FaultCampaign : public WorkerOnItsThread, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultCampaign, EndsAsItsRuleSays)
{
    const FaultCase& c = GetParam();
    const Layout& l = *c.layout;
    if (l.database >= 0)
        images.SetDatabase(Pattern(l.database, 1));
    if (l.firmware >= 0)
        images.SetResource(IDR_BIN_FIRMWARE, Pattern(l.firmware, 2));
    if (l.audio >= 0)
        images.SetResource(IDR_BIN_AUDIO, Pattern(l.audio, 3));
    if (l.radar >= 0)
        images.SetResource(IDR_BIN_RADAR, Pattern(l.radar, 4));
    const Outcome expected = Predict(c);

    static const SimWriteFault kFaults[] = {SimWriteFault::Refuse, SimWriteFault::NoSignal, SimWriteFault::Abort,
                                            SimWriteFault::ShortCount};
    if (c.kind == Kind::Unplug)
        bus.UnplugAfterReports(unit, c.report - 1);
    else
        bus.FailWrite(c.report, kFaults[static_cast<int>(c.kind)], c.count);
    // From the failure path on the unit is back: anything sent after would reach it.
    std::uint64_t reportsAtFailure = 0, writesAtFailure = 0;
    log->hook = [&](const std::string& line) {
        if (line == "kill 1") {
            reportsAtFailure = bus.ReportsTaken(unit);
            writesAtFailure = bus.WriteCalls();
            bus.Replug(unit);
        }
    };

    EXPECT_EQ(RunWorker(log, L"C:\\tool\\"), expected.completed ? 1u : 0u);

    EXPECT_THAT(log->Lines(), ElementsAreArray(expected.lines));
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(expected.commands));
    EXPECT_EQ(bus.DataReportsTaken(unit), expected.dataReports);
    EXPECT_EQ(bus.ReportsTaken(unit), expected.commands.size() + expected.dataReports);
    EXPECT_EQ(bus.PendingDataReports(unit), expected.pendingData);
    EXPECT_EQ(g_nStage, expected.stage);
    if (!expected.completed) {
        EXPECT_EQ(bus.ReportsTaken(unit), reportsAtFailure) << "a report reached the unit after the failure path";
        EXPECT_EQ(bus.WriteCalls(), writesAtFailure) << "a write was tried after the failure path";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryReportKind, FaultCampaign, ::testing::ValuesIn(FaultCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(FaultCampaignModel, CoversEveryPointOfTheUpdate)
{
    // The full update: 14 command reports and 5 page writes with 3 data
    // points each; the empty database adds its own 3 command reports.
    const auto cases = FaultCases();
    EXPECT_EQ(cases.size(), 5u * (14 + 5 * 3) + 5u * 3);
    // The last point is the full update's last report, the finish command.
    std::uint64_t last = 0;
    for (const FaultCase& c : cases)
        if (c.layout == &kFull)
            last = std::max(last, c.report);
    EXPECT_EQ(last, 14u + 4 * (4 + 16 + 3 + 8 + 8));
}

// --- the database file's bad inputs: real files where the platform's own
// answer matters, the file stand-in for sizes and reads no disk gives

std::atomic<int> g_fileOpens{0}, g_fileCloses{0}, g_fileReads{0};

HANDLE WINAPI CountingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                                 DWORD flags, HANDLE templ)
{
    const HANDLE h = RealImageCalls().CreateFileW(path, access, share, sa, disposition, flags, templ);
    g_fileOpens += h != INVALID_HANDLE_VALUE;
    return h;
}
BOOL WINAPI CountingReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov)
{
    ++g_fileReads;
    return RealImageCalls().ReadFile(file, buffer, size, read, ov);
}
BOOL WINAPI CountingClose(HANDLE file)
{
    ++g_fileCloses;
    return RealImageCalls().CloseHandle(file);
}

// A run that timed out leaves its folders, with a database.bin directory in
// one, to a later process of the same id.
TEST(DatabaseInputFolder, IsNoneThatAnEarlierRunLeftBehind)
{
    std::wstring stem;
    int serial = 0;
    {
        TempFolder probe;
        stem = probe.Path().substr(0, probe.Path().rfind(L'_') + 1);
        serial = std::stoi(probe.Path().substr(stem.size()));
    }
    std::vector<std::wstring> leftovers;
    for (int n = serial + 1; n <= serial + 3; ++n) {
        leftovers.push_back(stem + std::to_wstring(n) + L"\\");
        ASSERT_TRUE(CreateDirectoryW(leftovers.back().c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((leftovers.back() + L"database.bin").c_str(), nullptr));
    }
    {
        TempFolder folder;
        EXPECT_TRUE(folder.Write(Pattern(100, 9)));
        EXPECT_EQ(std::find(leftovers.begin(), leftovers.end(), folder.Path()), leftovers.end());
    }
    for (const std::wstring& leftover : leftovers) {
        RemoveDirectoryW((leftover + L"database.bin").c_str());
        RemoveDirectoryW(leftover.c_str());
    }
}

// Real files: File, Missing, HeldForReading (another program has it open for
// reading, sharing reading), LockedFile (open without sharing), Directory.
// The stand-in: ReadOnly, ShortRead, ClaimedSize.
enum class Input { File, Missing, HeldForReading, LockedFile, Directory, ReadOnly, ShortRead, ClaimedSize };
// Skipped: without a word, and the update goes on. TooLarge: shown, the box
// says "data error！", nothing is read or sent. Unread: shown, then the
// worker ends without a word and nothing is sent.
enum class End { Written, Skipped, TooLarge, Unread };

struct DatabaseCase {
    const char* name;
    Input input;
    std::uint64_t size;       // the file's size (the size claimed, for a short read)
    std::uint32_t delivered;  // short read: what the read gives
    End end;
};

void PrintTo(const DatabaseCase& c, std::ostream* os) { *os << c.name; }

class DatabaseInput : public WorkerOnItsThread, public ::testing::WithParamInterface<DatabaseCase> {
protected:
    void SetUp() override
    {
        WorkerOnItsThread::SetUp();
        g_fileOpens = g_fileCloses = g_fileReads = 0;
    }
};

TEST_P(DatabaseInput, IsWrittenSkippedOrRefusedAsTheRulesSay)
{
    const DatabaseCase& c = GetParam();
    // One small main program after it shows whether the update went on.
    images.SetResource(IDR_BIN_FIRMWARE, Pattern(2048, 2));
    const auto content = Pattern(c.input == Input::ClaimedSize ? 0 : std::size_t(c.size), 9);
    TempFolder folder;
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.input == Input::ReadOnly) {
        images.SetDatabase(content);
        images.SetDatabaseReadOnly();
    } else if (c.input == Input::ShortRead) {
        images.SetDatabase(content);
        images.SetDatabaseShortRead(c.delivered);
    } else if (c.input == Input::ClaimedSize) {
        images.SetDatabaseClaimedSize(c.size);
    } else {
        ImagePlatform& calls = ImageCalls();
        calls.CreateFileW = CountingCreateFile;
        calls.GetFileSize = RealImageCalls().GetFileSize;
        calls.ReadFile = CountingReadFile;
        calls.CloseHandle = CountingClose;
        if (c.input == Input::Directory) {
            ASSERT_TRUE(CreateDirectoryW(folder.File().c_str(), nullptr));
        } else if (c.input != Input::Missing) {
            ASSERT_TRUE(folder.Write(content));
        }
        if (c.input == Input::HeldForReading || c.input == Input::LockedFile) {
            holder = CreateFileW(folder.File().c_str(), GENERIC_READ,
                                 c.input == Input::HeldForReading ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
    }
    if (c.size > 1000000)
        bus.SetRecording(false);
    // Once read, the file is closed: before the region's commands go out,
    // and before the box that refuses it waits for the user.
    std::atomic<int> openWhileUsed{0};
    log->hook = [&](const std::string& line) {
        if (line.rfind("range 1002 ", 0) == 0 || line == "message data error！")
            openWhileUsed += g_fileOpens - g_fileCloses + images.OpenDatabaseHandles();
    };

    const DWORD result = RunWorker(log, folder.Path());
    if (holder != INVALID_HANDLE_VALUE)
        CloseHandle(holder);

    const bool completes = c.end == End::Written || c.end == End::Skipped;
    const int pages = Pages(int(c.size), 256);
    std::vector<std::string> lines = kStartLines;
    std::vector<SimCommand> commands;
    if (c.end == End::Written) {
        Append(lines, Written(kDatabase, pages));
        commands = {{CMD_ERASE_SECTORS, 640, 512}, {CMD_TEST, HID_CMD_KEY, 2}, {CMD_WRITE_PAGES, 10240, std::uint32_t(pages)}};
    } else if (!completes) {
        Append(lines, Shown(kDatabase));
    }
    if (c.end == End::TooLarge)
        lines.push_back("message data error！");
    if (completes) {
        Append(lines, Join({Written(kFirmware, 8), kEndLines}));
        commands.insert(commands.end(), {{CMD_TEST, HID_CMD_KEY, 1}, {CMD_WRITE_PAGES, 80, 8},
                                         {CMD_ERASE_SECTORS, 2023, 1}, {CMD_FINISH, HID_CMD_KEY, HID_CMD_KEY2}});
    }

    EXPECT_EQ(result, completes ? 1u : 0u);
    EXPECT_THAT(log->Lines(), ElementsAreArray(lines));
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(commands));
    if (!completes) {
        EXPECT_EQ(bus.WriteCalls(), 0u) << "nothing may be sent";
    }
    EXPECT_EQ(g_fileOpens.load(), g_fileCloses.load()) << "the database file was left open";
    EXPECT_EQ(openWhileUsed.load(), 0) << "the database file was still open after it was read";
    EXPECT_EQ(g_fileReads + images.DatabaseReads(), c.end == End::Written || c.end == End::Unread ? 1 : 0);
    if (c.end == End::Written) {
        const auto flash = bus.Flash(unit, 10240, pages);
        EXPECT_TRUE(std::equal(content.begin(), content.end(), flash.begin())) << "the unit got other bytes";
        EXPECT_EQ(g_dwDatabaseBytesRead, content.size());
    }
    if (c.input == Input::Missing) {
        EXPECT_EQ(GetFileAttributesW(folder.File().c_str()), INVALID_FILE_ATTRIBUTES) << "the update made a database.bin";
    }
    if (c.input == Input::ShortRead) {
        EXPECT_EQ(g_dwDatabaseBytesRead, c.delivered);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInputs, DatabaseInput, ::testing::Values(
    DatabaseCase{"Empty", Input::File, 0, 0, End::Written},
    DatabaseCase{"OneShortOfAPage", Input::File, 255, 0, End::Written},
    DatabaseCase{"OnePage", Input::File, 256, 0, End::Written},
    DatabaseCase{"OneOverAPage", Input::File, 257, 0, End::Written},
    DatabaseCase{"AtTheLimit", Input::File, 0x200000, 0, End::Written},
    DatabaseCase{"OneOverTheLimit", Input::File, 0x200001, 0, End::TooLarge},
    DatabaseCase{"FourGiB", Input::ClaimedSize, 0x100000000ull, 0, End::TooLarge},
    DatabaseCase{"FourGiBAnd1000", Input::ClaimedSize, 0x100000000ull + 1000, 0, End::TooLarge},
    DatabaseCase{"Missing", Input::Missing, 0, 0, End::Skipped},
    DatabaseCase{"HeldOpenForReadingSharingReading", Input::HeldForReading, 1000, 0, End::Written},
    DatabaseCase{"ReadOnly", Input::ReadOnly, 1000, 0, End::Written},
    DatabaseCase{"LockedWithoutReadSharing", Input::LockedFile, 1000, 0, End::Skipped},
    DatabaseCase{"ADirectory", Input::Directory, 0, 0, End::Skipped},
    DatabaseCase{"ReadOneShort", Input::ShortRead, 1000, 999, End::Unread},
    DatabaseCase{"ReadGivesNothing", Input::ShortRead, 256, 0, End::Unread}),
    [](const ::testing::TestParamInfo<DatabaseCase>& info) { return std::string(info.param.name); });

} // namespace

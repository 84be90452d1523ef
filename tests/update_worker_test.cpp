#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "fake_images.h"
#include "hid_commands.h"
#include "recording_window.h"
#include "resource.h"
#include "sim_hid_bus.h"
#include "state_sampler.h"
#include "update_state.h"
#include "update_worker.h"

void PrintTo(const SimCommand& c, std::ostream* os)
{
    char text[48];
    std::snprintf(text, sizeof text, "{%04x %u %u}", c.code, c.param1, c.param2);
    *os << text;
}

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

// A region as the user sees it, with the texts the window must show.
struct RegionView {
    int source;  // resource id; 0 for the database file
    int label;
    int bar;
    const char* progress;
    const char* success;
    std::uint32_t granularity;
};
const RegionView kDatabase{0, 1008, 1002, "Идёт обновление базы данных…", "База данных успешно обновлена", 256};
const RegionView kFirmware{IDR_BIN_FIRMWARE, 1004, 1003, "Идёт обновление прошивки…", "Прошивка успешно обновлена", 2048};
const RegionView kAudio{IDR_BIN_AUDIO, 1011, 1010, "Идёт обновление звуковых сообщений…",
                        "Звуковые сообщения успешно обновлены", 256};
const RegionView kRadar{IDR_BIN_RADAR, 1012, 1014, "Идёт обновление прошивки радарной части…",
                        "Прошивка радарной части успешно обновлена", 1024};

const std::vector<std::string> kStartLines = {
    "enable 1000 off", "enable 1001 off",
    "text 1006 Внимание: не отключайте интернет, \nпока обновление не будет завершено"};
const std::vector<std::string> kEndLines = {"enable 1000 on", "enable 1001 on", "text 1000 Готово",
                                            "text 1006 Обновление завершено！", "done"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string Line(const char* what, int id, const std::string& rest)
{
    return std::string(what) + " " + std::to_string(id) + " " + rest;
}

std::vector<std::string> Shown(const RegionView& r)
{
    return {"show " + std::to_string(r.label), "show " + std::to_string(r.bar), Line("text", r.label, r.progress)};
}

// A resource region that ran to its end, after Shown.
std::vector<std::string> Written(const RegionView& r, int pages)
{
    return {Line("range", r.bar, std::to_string(21 * pages / 10 & 0xFFFF)), Line("text", r.label, r.success),
            Line("pos", r.bar, std::to_string(21 * pages / 10))};
}

std::vector<unsigned char> Pattern(std::size_t size, std::uint32_t seed)
{
    std::vector<unsigned char> bytes(size);
    std::uint32_t x = seed * 2654435761u;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(x >> 24);
    }
    return bytes;
}

// The image followed by its pad bytes up to the rounded size.
std::vector<unsigned char> Padded(std::vector<unsigned char> image, std::uint32_t granularity)
{
    image.resize((image.size() + granularity - 1) / granularity * granularity, 0xFF);
    return image;
}

// Page counts of the regions that run; -1 where the source is missing.
struct Pages {
    int database = -1, firmware = -1, audio = -1, radar = -1;
};

std::vector<SimCommand> ExpectedCommands(const Pages& p)
{
    const SimCommand pass1{CMD_RADAR_PASS1, HID_CMD_KEY, HID_CMD_KEY2};
    const SimCommand pass2{CMD_RADAR_PASS2, HID_CMD_KEY, HID_CMD_KEY2};
    auto write = [](std::uint32_t first, int pages) { return SimCommand{CMD_WRITE_PAGES, first, std::uint32_t(pages)}; };
    std::vector<SimCommand> c;
    auto add = [&c](std::initializer_list<SimCommand> commands) {
        for (const SimCommand& command : commands)
            c.push_back(command);
    };
    if (p.database >= 0)
        add({{CMD_ERASE_SECTORS, 640, 512}, {CMD_TEST, HID_CMD_KEY, 2}, write(10240, p.database)});
    if (p.firmware >= 0)
        add({{CMD_TEST, HID_CMD_KEY, 1}, write(80, p.firmware)});
    if (p.audio >= 0)
        add({{CMD_ERASE_SECTORS, 0, 640}, {CMD_TEST, HID_CMD_KEY, 2}, write(0, p.audio)});
    if (p.radar >= 0)
        add({pass1, write(0, p.radar), pass2, write(0, p.radar)});
    add({{CMD_ERASE_SECTORS, 2023, 1}, {CMD_FINISH, HID_CMD_KEY, HID_CMD_KEY2}});
    return c;
}

// Where the page write of `transfer` (0, 1, ...) stands among the commands.
std::size_t WriteCommand(const std::vector<SimCommand>& commands, int transfer)
{
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (commands[i].code == CMD_WRITE_PAGES && transfer-- == 0)
            return i;
    return commands.size();
}

// Which report, counted from 1, carries command `index` of an update.
std::uint64_t ReportOf(const std::vector<SimCommand>& commands, std::size_t index)
{
    std::uint64_t reports = 0;
    for (std::size_t i = 0; i < index; ++i)
        reports += 1 + (commands[i].code == CMD_WRITE_PAGES ? 4ull * commands[i].param2 : 0);
    return reports + 1;
}

// The image bytes that each write-pages command's data reports carried.
std::vector<std::vector<unsigned char>> Transfers(const std::vector<std::array<unsigned char, 65>>& reports)
{
    std::vector<std::vector<unsigned char>> transfers;
    std::uint64_t pending = 0;
    for (const auto& r : reports) {
        if (pending > 0) {
            transfers.back().insert(transfers.back().end(), r.begin() + 1, r.end());
            --pending;
        } else if ((r[1] | r[2] << 8) == CMD_WRITE_PAGES) {
            pending = 4ull * (r[7] | r[8] << 8 | r[9] << 16 | std::uint32_t(r[10]) << 24);
            transfers.emplace_back();
        }
    }
    return transfers;
}

class UpdateWorker : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetUpdateStateForTest();
        g_deviceIndex = 1;
        unit = bus.AddDevice();
        g_pImage = transfer.data();
    }
    void TearDown() override
    {
        EXPECT_EQ(images.OpenDatabaseHandles(), 0) << "the database file was left open";
        EXPECT_EQ(bus.OpenHandles(), 0u);
        EXPECT_THAT(bus.Misuse(), IsEmpty());
        EXPECT_THAT(bus.ProtocolViolations(), IsEmpty());
        ResetUpdateStateForTest();
    }

    void Place(const RegionView& r, const std::vector<unsigned char>& image)
    {
        if (r.source == 0)
            images.SetDatabase(image);
        else
            images.SetResource(r.source, image);
    }
    // Database 4 pages, main program 8, voice 3, radar 8.
    void PlaceSmallImages()
    {
        Place(kDatabase, Pattern(1000, 1));
        Place(kFirmware, Pattern(1500, 2));
        Place(kAudio, Pattern(600, 3));
        Place(kRadar, Pattern(1500, 4));
    }
    DWORD Run() { return RunUpdate(window); }
    std::vector<std::string> Lines() const { return window.Lines(); }

    // Left-over bytes that are neither image nor the worker's pad.
    std::vector<unsigned char> transfer = std::vector<unsigned char>(0x400000, 0xA5);
    SimHidBus bus;
    FakeImages images;
    RecordingWindow window;
    int unit = 0;
};

TEST_F(UpdateWorker, FullUpdateWritesEveryRegionInOrderAndFinishes)
{
    const auto database = Pattern(70000, 1), firmware = Pattern(40372, 2), audio = Pattern(900427, 3),
               radar = Pattern(46560, 4);
    Place(kDatabase, database);
    Place(kFirmware, firmware);
    Place(kAudio, audio);
    Place(kRadar, radar);

    EXPECT_EQ(Run(), 1u);

    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(ExpectedCommands({274, 160, 3518, 184})));
    const std::vector<std::vector<unsigned char>> expected = {Padded(database, 256), Padded(firmware, 2048),
                                                              Padded(audio, 256), Padded(radar, 1024),
                                                              Padded(radar, 1024)};
    const auto sent = Transfers(bus.RawReports(unit));
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_TRUE(sent[i] == expected[i]) << "transfer " << i << " of " << sent[i].size() << " bytes";
    EXPECT_TRUE(bus.Flash(unit, 10240, 274) == expected[0]);
    // The voice messages' erase and pages cover the main program's; the radar part's cover theirs.
    EXPECT_TRUE(bus.Flash(unit, 0, 184) == expected[3]);
    EXPECT_TRUE(bus.Flash(unit, 184, 3518 - 184) ==
                std::vector<unsigned char>(expected[2].begin() + 184 * 256, expected[2].end()));

    EXPECT_THAT(Lines(), ElementsAreArray(Join({
        kStartLines,
        {"show 1008", "show 1002", "text 1008 Идёт обновление базы данных…", "range 1002 575", "pos 1002 575",
         "text 1008 База данных успешно обновлена"},
        {"show 1004", "show 1003", "text 1004 Идёт обновление прошивки…", "range 1003 336",
         "text 1004 Прошивка успешно обновлена", "pos 1003 336"},
        {"show 1011", "show 1010", "text 1011 Идёт обновление звуковых сообщений…", "range 1010 7387",
         "text 1011 Звуковые сообщения успешно обновлены", "pos 1010 7387"},
        {"show 1012", "show 1014", "text 1012 Идёт обновление прошивки радарной части…", "range 1014 386",
         "text 1012 Прошивка радарной части успешно обновлена", "pos 1014 386"},
        kEndLines})));
    EXPECT_EQ(images.lastOpenedPath, L"C:\\tool\\database.bin");
    EXPECT_EQ(window.Log()->DatabasePath(), L"C:\\tool\\database.bin");
}

TEST_F(UpdateWorker, UpdateStateIsStoredBeforeEachCommand)
{
    StateSampler sampler;
    Place(kDatabase, Pattern(70000, 1));
    Place(kFirmware, Pattern(40372, 2));
    Place(kAudio, Pattern(900427, 3));
    Place(kRadar, Pattern(46560, 4));

    EXPECT_EQ(Run(), 1u);

    // Command / second argument: the state as the command went out.
    EXPECT_THAT(sampler.Samples(), ElementsAre(
        "0e71/512: stage 0 phase 0 progress 1 pages 274 0 0 0",
        "0eb8/2: stage 1 phase 1 progress 1 pages 274 0 0 0",
        "0ee3/274: stage 1 phase 1 progress 1 pages 274 0 0 0",
        "0eb8/1: stage 2 phase 2 progress 1 pages 274 160 0 0",
        "0ee3/160: stage 2 phase 2 progress 1 pages 274 160 0 0",
        "0e71/640: stage 3 phase 3 progress 1 pages 274 160 3518 0",
        "0eb8/2: stage 3 phase 3 progress 1 pages 274 160 3518 0",
        "0ee3/3518: stage 3 phase 3 progress 1 pages 274 160 3518 0",
        "0e26/2882400001: stage 4 phase 5 progress 1 pages 274 160 3518 184",
        "0ee3/184: stage 4 phase 5 progress 1 pages 274 160 3518 184",
        "0e35/2882400001: stage 5 phase 8 progress 183 pages 274 160 3518 184",
        "0ee3/184: stage 5 phase 8 progress 183 pages 274 160 3518 184",
        "0e71/1: stage 5 phase 8 progress 367 pages 274 160 3518 184",
        "0e58/2882400001: stage 6 phase 8 progress 367 pages 274 160 3518 184"));
    EXPECT_EQ(g_nStage, 6);
    EXPECT_EQ(g_dwDatabaseBytesRead, 70000u);
    EXPECT_EQ(g_pImage.load(), images.ResourceData(IDR_BIN_RADAR)) << "no pointer into storage the worker freed";
}

TEST_F(UpdateWorker, WithNoSourceOnlyTheEndSequenceRuns)
{
    EXPECT_EQ(Run(), 1u);
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(ExpectedCommands({})));
    EXPECT_THAT(Lines(), ElementsAreArray(Join({kStartLines, kEndLines})));
    EXPECT_EQ(g_nStage, 6);
    EXPECT_EQ(g_nPhase, 0);
}

TEST_F(UpdateWorker, EmptyDatabaseIsARegionOfNoPages)
{
    Place(kDatabase, {});
    EXPECT_EQ(Run(), 1u);
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(ExpectedCommands({0})));
    EXPECT_EQ(bus.DataReportsTaken(unit), 0u);
    EXPECT_THAT(Lines(), ElementsAreArray(Join({kStartLines, Shown(kDatabase),
                                                {"range 1002 0", "pos 1002 0", "text 1008 База данных успешно обновлена"},
                                                kEndLines})));
    EXPECT_EQ(g_nPhase, 1) << "no data report moved the phase on";
}

TEST_F(UpdateWorker, ShortDatabaseReadEndsWithoutMessageOrCommand)
{
    Place(kDatabase, Pattern(1000, 1));
    images.SetDatabaseShortRead(999);
    Place(kFirmware, Pattern(3000, 2));
    EXPECT_EQ(Run(), 0u);
    EXPECT_THAT(bus.Commands(unit), IsEmpty());
    EXPECT_THAT(Lines(), ElementsAreArray(Join({kStartLines, Shown(kDatabase)})));
    EXPECT_EQ(g_dwDatabaseBytesRead, 999u);
}

TEST_F(UpdateWorker, ResourceThatCannotBeLoadedEndsWithoutMessage)
{
    Place(kDatabase, Pattern(1000, 1));
    images.SetResource(IDR_BIN_FIRMWARE, Pattern(3000, 2), false);
    Place(kAudio, Pattern(600, 3));
    EXPECT_EQ(Run(), 0u);
    const auto all = ExpectedCommands({4});
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(all.begin(), all.begin() + 3));
    const auto lines = Lines();
    EXPECT_THAT(std::vector<std::string>(lines.end() - 4, lines.end()),
                ElementsAre("text 1008 База данных успешно обновлена", "show 1004", "show 1003",
                            "text 1004 Идёт обновление прошивки…"));
}

TEST_F(UpdateWorker, WithoutTransferBufferNothingIsReadOrSent)
{
    g_pImage = nullptr;
    Place(kDatabase, Pattern(1000, 1));
    Place(kFirmware, Pattern(3000, 2));
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(images.DatabaseReads(), 0);
    EXPECT_THAT(bus.Commands(unit), IsEmpty());
    EXPECT_THAT(Lines(), ElementsAreArray(kStartLines));
}

// --- module folders around the length where the database path stops fitting

class DatabasePath : public UpdateWorker, public ::testing::WithParamInterface<int> {};

TEST_P(DatabasePath, IsUsedWholeOrNotAtAll)
{
    const int length = GetParam();
    const std::wstring dir = L"C:\\" + std::wstring(length - 4, L'd') + L"\\";
    RecordingWindow longWindow(dir);
    Place(kDatabase, Pattern(1000, 1));

    EXPECT_EQ(RunUpdate(longWindow), 1u);
    const bool fits = dir.size() + 12 < 256;
    if (fits) {
        EXPECT_EQ(images.lastOpenedPath, dir + L"database.bin");
        EXPECT_EQ(longWindow.Log()->DatabasePath(), dir + L"database.bin");
        EXPECT_THAT(bus.Commands(unit), ElementsAreArray(ExpectedCommands({4})));
    } else {
        EXPECT_EQ(images.lastOpenedPath, L"") << "no cut-short path may be opened";
        EXPECT_EQ(longWindow.Log()->DatabasePath(), L"");
        EXPECT_THAT(bus.Commands(unit), ElementsAreArray(ExpectedCommands({})));
        EXPECT_THAT(longWindow.Lines(), ElementsAreArray(Join({kStartLines, kEndLines})));
    }
}

INSTANTIATE_TEST_SUITE_P(FolderLengths, DatabasePath, ::testing::Values(243, 244, 255));

// --- sizes at and over each region's limit

struct SizeCase {
    const char* name;
    int source;
    int bar;
    std::uint32_t size;
    const char* outcome;  // the bar's range line, or the message that refuses the image; null: ends silently
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class SizeLimits : public UpdateWorker, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SizeLimits, AreCheckedBeforeAnythingIsReadOrSent)
{
    const SizeCase& c = GetParam();
    const bool refused = !c.outcome || std::string(c.outcome).rfind("message", 0) == 0;
    if (c.source == 0)
        images.SetDatabase(std::vector<unsigned char>(c.size, 0x5A));
    else if (refused)
        images.SetResourceClaimedSize(c.source, c.size);  // 16 bytes behind it: any read faults
    else
        images.SetResource(c.source, std::vector<unsigned char>(c.size, 0x5A));
    bus.SetRecording(false);

    const DWORD result = Run();
    const auto lines = Lines();
    if (refused) {
        EXPECT_EQ(result, 0u);
        if (c.outcome)
            EXPECT_EQ(lines.back(), c.outcome);
        else
            EXPECT_THAT(lines, ElementsAreArray(Join({kStartLines, Shown(kRadar)})));
        EXPECT_THAT(lines, Not(Contains(::testing::StartsWith("range"))));
        EXPECT_THAT(bus.Commands(unit), IsEmpty());
        EXPECT_EQ(images.DatabaseReads(), 0);
    } else {
        EXPECT_EQ(result, 1u);
        const int pages = static_cast<int>(c.size / 256);
        EXPECT_THAT(lines, Contains(c.outcome));
        EXPECT_THAT(lines, Contains(Line("pos", c.bar, std::to_string(21 * pages / 10))));
        EXPECT_EQ(bus.DataReportsTaken(unit), 4ull * pages * (c.source == IDR_BIN_RADAR ? 2 : 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Regions, SizeLimits, ::testing::Values(
    SizeCase{"DatabaseAtLimit", 0, 1002, 0x200000, "range 1002 17203"},
    SizeCase{"DatabaseOneOver", 0, 1002, 0x200001, "message data error！"},
    SizeCase{"FirmwareAtLimit", IDR_BIN_FIRMWARE, 1003, 204800, "range 1003 1680"},
    SizeCase{"FirmwareOneOver", IDR_BIN_FIRMWARE, 1003, 204801, "message prog error！"},
    SizeCase{"FirmwareWithinAGranuleOf4GiB", IDR_BIN_FIRMWARE, 1003, 0xFFFFFF01u, "message prog error！"},
    SizeCase{"AudioAtLimit", IDR_BIN_AUDIO, 1010, 0x280000, "range 1010 21504"},
    SizeCase{"AudioOneOver", IDR_BIN_AUDIO, 1010, 0x280001, "message Audio error！"},
    SizeCase{"RadarBarLongerThanItsRange", IDR_BIN_RADAR, 1014, 31208 * 256, "range 1014 0"},
    SizeCase{"RadarWithinAGranuleOf4GiB", IDR_BIN_RADAR, 1014, 0xFFFFFC01u, nullptr}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

// --- a write that fails part-way, in every transfer of an update

const Pages kSmall{4, 8, 3, 8};

struct FaultCase {
    std::string name;
    int transfer;          // 0 database, 1 main program, 2 voice, 3 and 4 the radar passes
    std::uint64_t report;  // 0 the write-pages command, k the k-th data report
    bool unplug;           // else the write fails with `fault`
    SimWriteFault fault;
};

std::vector<FaultCase> FaultCases()
{
    const char* names[] = {"Database", "Firmware", "Audio", "RadarPass1", "RadarPass2"};
    const int pages[] = {kSmall.database, kSmall.firmware, kSmall.audio, kSmall.radar, kSmall.radar};
    std::vector<FaultCase> cases;
    for (int t = 0; t < 5; ++t) {
        const std::uint64_t data = 4ull * pages[t];
        cases.push_back({std::string(names[t]) + "UnpluggedAtFirstData", t, 1, true, SimWriteFault::Refuse});
        cases.push_back({std::string(names[t]) + "UnpluggedMidway", t, data / 2, true, SimWriteFault::Refuse});
        cases.push_back({std::string(names[t]) + "UnpluggedAtLastData", t, data, true, SimWriteFault::Refuse});
    }
    cases.push_back({"DatabaseWriteCommandRefused", 0, 0, false, SimWriteFault::Refuse});
    cases.push_back({"RadarPass2WriteCommandRefused", 4, 0, false, SimWriteFault::Refuse});
    cases.push_back({"AudioDataTimesOut", 2, 5, false, SimWriteFault::NoSignal});
    cases.push_back({"RadarPass1LastDataTimesOut", 3, 32, false, SimWriteFault::NoSignal});
    return cases;
}

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FailedWrite : public UpdateWorker, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FailedWrite, StopsTheTimersShowsTheTipAndClosesWithNothingSentAfter)
{
    const FaultCase& c = GetParam();
    PlaceSmallImages();
    const auto all = ExpectedCommands(kSmall);
    const std::size_t write = WriteCommand(all, c.transfer);
    const std::uint64_t failing = ReportOf(all, write) + c.report;
    if (c.unplug)
        bus.UnplugAfterReports(unit, failing - 1);
    else
        bus.FailWrite(failing, c.fault);
    // Once the worker has given up the unit is back, so anything sent after would reach it.
    window.Log()->hook = [&](const std::string& line) {
        if (line == "kill 1")
            bus.Replug(unit);
    };

    EXPECT_EQ(Run(), 0u);

    EXPECT_EQ(bus.WriteCalls(), failing);
    const bool commandTaken = c.report > 0 || c.fault == SimWriteFault::NoSignal;
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(all.begin(), all.begin() + write + (commandTaken ? 1 : 0)));
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_THAT(std::vector<std::string>(lines.end() - 4, lines.end()),
                ElementsAre("kill 1", "kill 2", "error tip", "close"));
    const RegionView* views[] = {&kDatabase, &kFirmware, &kAudio, &kRadar, &kRadar};
    EXPECT_THAT(lines, Not(Contains(Line("text", views[c.transfer]->label, views[c.transfer]->success))));
    EXPECT_THAT(lines, Not(Contains("enable 1000 on")));
    EXPECT_EQ(g_nStage, c.transfer + 1) << "stage 5 only once the first radar pass was written";
}

INSTANTIATE_TEST_SUITE_P(EveryTransfer, FailedWrite, ::testing::ValuesIn(FaultCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// --- the other commands' results are not looked at

struct CommandCase {
    const char* name;
    std::size_t index;  // into the small update's commands
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class RefusedCommand : public UpdateWorker, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(RefusedCommand, DoesNotStopTheUpdate)
{
    PlaceSmallImages();
    auto all = ExpectedCommands(kSmall);
    const std::size_t index = GetParam().index;
    bus.FailWrite(ReportOf(all, index), SimWriteFault::Refuse);

    EXPECT_EQ(Run(), 1u);
    all.erase(all.begin() + index);
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(all));
    EXPECT_EQ(bus.DataReportsTaken(unit), 4u * (4 + 8 + 3 + 8 + 8));
    EXPECT_EQ(Lines().back(), "done");
}

INSTANTIATE_TEST_SUITE_P(EachCommand, RefusedCommand, ::testing::Values(
    CommandCase{"DatabaseErase", 0}, CommandCase{"DatabaseTest", 1}, CommandCase{"FirmwareTest", 3},
    CommandCase{"AudioErase", 5}, CommandCase{"AudioTest", 6}, CommandCase{"RadarPass1", 8},
    CommandCase{"RadarPass2", 10}, CommandCase{"ClosingErase", 12}, CommandCase{"Finish", 13}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

// --- resource images right before an unreadable page: any read past one faults

struct ImageCase {
    const RegionView* region;
    std::uint32_t size;
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.region->source << " of " << c.size << " bytes"; }

class ResourceImage : public UpdateWorker, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ResourceImage, IsSentWithItsPadAndNotReadPastItsEnd)
{
    const RegionView& r = *GetParam().region;
    const auto image = Pattern(GetParam().size, 7);
    Place(r, image);

    EXPECT_EQ(Run(), 1u);

    const auto padded = Padded(image, r.granularity);
    const int pages = static_cast<int>(padded.size() / 256);
    const bool radar = r.source == IDR_BIN_RADAR;
    const auto sent = Transfers(bus.RawReports(unit));
    ASSERT_EQ(sent.size(), radar ? 2u : 1u);
    for (const auto& transfer : sent)
        EXPECT_TRUE(transfer == padded);
    Pages only;
    (r.source == IDR_BIN_FIRMWARE ? only.firmware : r.source == IDR_BIN_AUDIO ? only.audio : only.radar) = pages;
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(ExpectedCommands(only)));
    EXPECT_THAT(Lines(), ElementsAreArray(Join({kStartLines, Shown(r), Written(r, pages), kEndLines})));
}

INSTANTIATE_TEST_SUITE_P(OnAndOffAGranule, ResourceImage, ::testing::Values(
    ImageCase{&kFirmware, 40960}, ImageCase{&kFirmware, 40372}, ImageCase{&kFirmware, 2047},
    ImageCase{&kFirmware, 1}, ImageCase{&kAudio, 900608}, ImageCase{&kAudio, 900427},
    ImageCase{&kAudio, 257}, ImageCase{&kRadar, 47104}, ImageCase{&kRadar, 46560},
    ImageCase{&kRadar, 1023}));

} // namespace

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "hid_commands.h"
#include "recording_window.h"
#include "state_sampler.h"
#include "update_worker.h"
#include "worker_expectations.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using namespace workertest;

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

class UpdateWorker : public WorkerAgainstUnit {
protected:
    DWORD Run() { return RunUpdate(window); }
    std::vector<std::string> Lines() const { return window.Lines(); }

    RecordingWindow window;
};

TEST_F(UpdateWorker, FullUpdateWritesEveryRegionInOrderStoringTheStateBeforeEachCommand)
{
    StateSampler sampler;
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

    EXPECT_THAT(Lines(), ElementsAreArray(Join({kStartLines, Written(kDatabase, 274), Written(kFirmware, 160),
                                                Written(kAudio, 3518), Written(kRadar, 184), kEndLines})));
    EXPECT_EQ(images.lastOpenedPath, L"C:\\tool\\database.bin");
    EXPECT_EQ(window.Log()->DatabasePath(), L"C:\\tool\\database.bin");

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

TEST_F(UpdateWorker, EmptyDatabaseIsARegionOfNoPagesThatLeavesThePhase)
{
    Place(kDatabase, {});
    EXPECT_EQ(Run(), 1u);
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(ExpectedCommands({0})));
    EXPECT_EQ(g_nPhase, 1) << "no data report moved the phase on";
}

TEST_F(UpdateWorker, ResourceThatCannotBeLoadedEndsWithoutMessage)
{
    Place(kDatabase, Pattern(1000, 1));
    images.SetResource(IDR_BIN_FIRMWARE, Pattern(3000, 2), false);
    Place(kAudio, Pattern(600, 3));
    EXPECT_EQ(Run(), 0u);
    const auto all = ExpectedCommands({4});
    EXPECT_THAT(bus.Commands(unit), ElementsAreArray(all.begin(), all.begin() + 3));
    EXPECT_THAT(Lines(), ElementsAreArray(Join({kStartLines, Written(kDatabase, 4), Shown(kFirmware)})));
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

// --- the embedded images' sizes at and over each region's limit (the
// database file's are the fault campaign's)

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
    if (refused)
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
    } else {
        EXPECT_EQ(result, 1u);
        const int pages = static_cast<int>(c.size / 256);
        EXPECT_THAT(lines, Contains(c.outcome));
        EXPECT_THAT(lines, Contains(Line("pos", c.bar, std::to_string(BarLength(pages)))));
        EXPECT_EQ(bus.DataReportsTaken(unit), 4ull * pages * (c.source == IDR_BIN_RADAR ? 2 : 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Regions, SizeLimits, ::testing::Values(
    SizeCase{"FirmwareAtLimit", IDR_BIN_FIRMWARE, 1003, 204800, "range 1003 1680"},
    SizeCase{"FirmwareOneOver", IDR_BIN_FIRMWARE, 1003, 204801, "message prog error！"},
    SizeCase{"FirmwareWithinAGranuleOf4GiB", IDR_BIN_FIRMWARE, 1003, 0xFFFFFF01u, "message prog error！"},
    SizeCase{"AudioAtLimit", IDR_BIN_AUDIO, 1010, 0x280000, "range 1010 21504"},
    SizeCase{"AudioOneOver", IDR_BIN_AUDIO, 1010, 0x280001, "message Audio error！"},
    SizeCase{"RadarBarLongerThanItsRange", IDR_BIN_RADAR, 1014, 31208 * 256, "range 1014 0"},
    SizeCase{"RadarWithinAGranuleOf4GiB", IDR_BIN_RADAR, 1014, 0xFFFFFC01u, nullptr}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

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
    EXPECT_THAT(Lines(), ElementsAreArray(Join({kStartLines, Written(r, pages), kEndLines})));
}

INSTANTIATE_TEST_SUITE_P(OnAndOffAGranule, ResourceImage, ::testing::Values(
    ImageCase{&kFirmware, 40960}, ImageCase{&kFirmware, 40372}, ImageCase{&kFirmware, 2047},
    ImageCase{&kFirmware, 1}, ImageCase{&kAudio, 900608}, ImageCase{&kAudio, 900427},
    ImageCase{&kAudio, 257}, ImageCase{&kRadar, 47104}, ImageCase{&kRadar, 46560},
    ImageCase{&kRadar, 1023}));

} // namespace

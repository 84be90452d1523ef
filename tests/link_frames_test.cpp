#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hid_commands.h"

namespace {

std::vector<unsigned char> Hex(const std::string& text)
{
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3)
        bytes.push_back(static_cast<unsigned char>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::vector<unsigned char> FrameOf(const HidReport& report)
{
    return std::vector<unsigned char>(report + 1, report + 1 + 18);
}

std::uint32_t ChecksumOf(const HidReport& report)
{
    return std::uint32_t(report[15]) | std::uint32_t(report[16]) << 8 |
           std::uint32_t(report[17]) << 16 | std::uint32_t(report[18]) << 24;
}

struct FrameCase {
    const char* what;
    std::uint16_t command;
    std::uint32_t param1;
    std::uint32_t param2;
    const char* frame;
    std::uint32_t checksum;
};

const FrameCase kWorkerFrames[] = {
    {"erase 640+512", CMD_ERASE_SECTORS, 640, 512,
     "71 0E 80 02 00 00 00 02 00 00 48 49 44 43 1B 02 00 00", 539},
    {"erase 0+640", CMD_ERASE_SECTORS, 0, 640,
     "71 0E 00 00 00 00 80 02 00 00 48 49 44 43 19 02 00 00", 537},
    {"erase 2023+1", CMD_ERASE_SECTORS, 2023, 1,
     "71 0E E7 07 00 00 01 00 00 00 48 49 44 43 86 02 00 00", 646},
    {"test 1", CMD_TEST, 0x12345678, 1,
     "B8 0E 78 56 34 12 01 00 00 00 48 49 44 43 F3 02 00 00", 755},
    {"test 2", CMD_TEST, 0x12345678, 2,
     "B8 0E 78 56 34 12 02 00 00 00 48 49 44 43 F4 02 00 00", 756},
    {"radar pass 1", CMD_RADAR_PASS1, 0x12345678, 0xABCDEF01,
     "26 0E 78 56 34 12 01 EF CD AB 48 49 44 43 C8 04 00 00", 1224},
    {"radar pass 2", CMD_RADAR_PASS2, 0x12345678, 0xABCDEF01,
     "35 0E 78 56 34 12 01 EF CD AB 48 49 44 43 D7 04 00 00", 1239},
    {"finish", CMD_FINISH, 0x12345678, 0xABCDEF01,
     "58 0E 78 56 34 12 01 EF CD AB 48 49 44 43 FA 04 00 00", 1274},
    {"write pages 10240+8192", CMD_WRITE_PAGES, 10240, 8192,
     "E3 0E 00 28 00 00 00 20 00 00 48 49 44 43 51 02 00 00", 593},
};

TEST(CommandReport, EveryFrameTheWorkerSendsIsExact)
{
    ASSERT_EQ(sizeof(HidReport), 65u);
    for (const FrameCase& c : kWorkerFrames) {
        HidReport report;
        HidBuildCommandReport(report, c.command, c.param1, c.param2);
        EXPECT_EQ(FrameOf(report), Hex(c.frame)) << c.what;
        EXPECT_EQ(ChecksumOf(report), c.checksum) << c.what;
        EXPECT_EQ(report[0], 0) << c.what;
    }
}

TEST(CommandReport, FinishReportWholeAndFillReplacesEarlierContent)
{
    HidReport report;
    std::memset(report, 0x5A, sizeof report);
    HidBuildCommandReport(report, CMD_FINISH, 0x12345678, 0xABCDEF01);

    std::vector<unsigned char> expected{0x00};
    const std::vector<unsigned char> frame = Hex(kWorkerFrames[7].frame);
    expected.insert(expected.end(), frame.begin(), frame.end());
    expected.insert(expected.end(), 46, 0xCC);
    ASSERT_EQ(expected.size(), 65u);
    EXPECT_EQ(std::vector<unsigned char>(report, report + 65), expected);
}

TEST(CommandReport, ChecksumCoversFourteenFrameBytesAndNeverReachesItsHighBytes)
{
    HidReport report;
    HidBuildCommandReport(report, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(ChecksumOf(report), 2830u);
    EXPECT_EQ(report[17], 0);
    EXPECT_EQ(report[18], 0);

    HidBuildCommandReport(report, 0, 0, 0);
    EXPECT_EQ(ChecksumOf(report), 280u) << "the signature alone";

    // Arguments that vary only in bytes a careless sum would also add (fill,
    // report id) must not change the checksum.
    const std::uint32_t params[] = {0, 1, 0x80, 0xFF, 0x100, 0x01010101, 0xCCCCCCCC, 0x80000000};
    for (std::uint32_t p1 : params)
        for (std::uint32_t p2 : params) {
            HidBuildCommandReport(report, 0x0E71, p1, p2);
            std::uint32_t sum = 0x71 + 0x0E + 280;
            for (int i = 0; i < 4; ++i)
                sum += (p1 >> (8 * i) & 0xFF) + (p2 >> (8 * i) & 0xFF);
            EXPECT_EQ(ChecksumOf(report), sum) << p1 << " " << p2;
            EXPECT_EQ(report[17], 0);
            EXPECT_EQ(report[18], 0);
        }
}

} // namespace

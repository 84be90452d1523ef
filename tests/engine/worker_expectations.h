#pragma once
// What an update must look like from outside, worked out from the rules: the
// lines the user sees of each region and the fixture every worker test runs
// on (one unit on the simulated bus, stand-in images, a guarded transfer
// buffer), with leaks and misuse of the link checked at the end of each test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "fake_images.h"
#include "hid_commands.h"
#include "resource.h"
#include "sim_hid_bus.h"
#include "update_state.h"

inline void PrintTo(const SimCommand& c, std::ostream* os)
{
    char text[48];
    std::snprintf(text, sizeof text, "{%04x %u %u}", c.code, c.param1, c.param2);
    *os << text;
}

namespace workertest {

// A region as the user sees it, with the texts the window must show.
struct RegionView {
    int source;  // resource id; 0 for the database file
    int label;
    int bar;
    const char* progress;
    const char* success;
    std::uint32_t granularity;
    bool positionFirst;  // the database sets its bar before its text; the others after
};
inline const RegionView kDatabase{0, 1008, 1002, "Идёт обновление базы данных…", "База данных успешно обновлена",
                                  256, true};
inline const RegionView kFirmware{IDR_BIN_FIRMWARE, 1004, 1003, "Идёт обновление прошивки…",
                                  "Прошивка успешно обновлена", 2048, false};
inline const RegionView kAudio{IDR_BIN_AUDIO, 1011, 1010, "Идёт обновление звуковых сообщений…",
                               "Звуковые сообщения успешно обновлены", 256, false};
inline const RegionView kRadar{IDR_BIN_RADAR, 1012, 1014, "Идёт обновление прошивки радарной части…",
                               "Прошивка радарной части успешно обновлена", 1024, false};

inline const std::vector<std::string> kStartLines = {
    "enable 1000 off", "enable 1001 off",
    "text 1006 Внимание: не отключайте интернет, \nпока обновление не будет завершено"};
inline const std::vector<std::string> kEndLines = {"enable 1000 on", "enable 1001 on", "text 1000 Готово",
                                                   "text 1006 Обновление завершено！", "done"};
inline const std::vector<std::string> kFailureLines = {"kill 1", "kill 2", "error tip", "close"};

inline int BarLength(int pages) { return 21 * pages / 10; }

inline void Append(std::vector<std::string>& lines, const std::vector<std::string>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

inline std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts)
        Append(all, part);
    return all;
}

inline std::string Line(const char* what, int id, const std::string& rest)
{
    return std::string(what) + " " + std::to_string(id) + " " + rest;
}

inline std::vector<std::string> Shown(const RegionView& r)
{
    return {"show " + std::to_string(r.label), "show " + std::to_string(r.bar), Line("text", r.label, r.progress)};
}

inline std::vector<std::string> Begun(const RegionView& r, int pages)
{
    auto lines = Shown(r);
    lines.push_back(Line("range", r.bar, std::to_string(BarLength(pages) & 0xFFFF)));
    return lines;
}

inline std::vector<std::string> Succeeded(const RegionView& r, int pages)
{
    const std::string pos = Line("pos", r.bar, std::to_string(BarLength(pages)));
    const std::string text = Line("text", r.label, r.success);
    return r.positionFirst ? std::vector<std::string>{pos, text} : std::vector<std::string>{text, pos};
}

// A whole region, shown, written and reported.
inline std::vector<std::string> Written(const RegionView& r, int pages)
{
    return Join({Begun(r, pages), Succeeded(r, pages)});
}

inline std::vector<unsigned char> Pattern(std::size_t size, std::uint32_t seed)
{
    std::vector<unsigned char> bytes(size);
    std::uint32_t x = seed * 2654435761u;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(x >> 24);
    }
    return bytes;
}

class WorkerAgainstUnit : public ::testing::Test {
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
        EXPECT_EQ(bus.OpenHandles(), 0u) << "a handle or event of the link was left open";
        EXPECT_THAT(bus.Misuse(), ::testing::IsEmpty());
        EXPECT_THAT(bus.ProtocolViolations(), ::testing::IsEmpty());
        EXPECT_EQ(bus.AbandonedTransfers(unit), 0u) << "a command went out in the middle of a transfer";
        ResetUpdateStateForTest();
    }

    void Place(const RegionView& r, const std::vector<unsigned char>& image)
    {
        if (r.source == 0)
            images.SetDatabase(image);
        else
            images.SetResource(r.source, image);
    }

    // The transfer buffer, with a guard page right after its 4 MiB; left-over
    // bytes that are neither image nor the worker's pad.
    GuardedBytes transfer{std::vector<unsigned char>(0x400000, 0xA5)};
    SimHidBus bus;
    FakeImages images;
    int unit = 0;
};

} // namespace workertest

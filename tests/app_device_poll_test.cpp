// The device-ready line: timer 3 looks for the unit once a second until one
// of the three bootloader product ids is present, says so once, and stops.
#include <gtest/gtest.h>

#include "app_test_window.h"
#include "sim_hid_bus.h"
#include "update_state.h"
#include "update_texts.h"

CORV_updateApp g_theApp;

namespace {

using apptest::MainDialog;

// Long enough for two ticks of the one-second poll.
constexpr DWORD kTwoTicksMs = 2200;

class AppDevicePoll : public ::testing::TestWithParam<std::uint16_t> {
protected:
    void SetUp() override { ResetUpdateStateForTest(); }
    SimHidBus m_bus;
};

TEST_P(AppDevicePoll, UnitMakesTheLineSayReadyOnceAndThePollStops)
{
    SimDeviceConfig config;
    config.productId = GetParam();
    const int unit = m_bus.AddDevice(config);
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);
    UI_EXPECT_TEXT(hDlg, IDC_DEVICE_STATE, L"");

    ASSERT_TRUE(ui::WaitUntil([&] { return ui::ControlText(hDlg, IDC_DEVICE_STATE) == apptest::kDeviceReady; }, 5000));
    EXPECT_TRUE(ui::IsControlVisible(hDlg, IDC_DEVICE_STATE));
    EXPECT_EQ(0, g_deviceIndex.load()) << "the poll records nothing";
    EXPECT_EQ(0u, m_bus.ReportsTaken(unit));

    // Only 0x5780 starts an update: the others are ready, yet Start answers E16.
    if (GetParam() != 0x5780) {
        ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
        EXPECT_EQ(kNoDeviceText, UI_ANSWER_BOX(dlg.ThreadId(), apptest::ProgramName(), IDOK));
        EXPECT_EQ(0u, m_bus.ReportsTaken(unit));
        UI_EXPECT_ENABLED(hDlg, IDC_BTN_START);
    }

    // Unplugged, the unit is no longer looked for and the line stays.
    const std::size_t probes = m_bus.CallCount(SimCall::GetClassDevs);
    m_bus.Unplug(unit);
    ::Sleep(kTwoTicksMs);
    EXPECT_EQ(probes, m_bus.CallCount(SimCall::GetClassDevs));
    UI_EXPECT_TEXT(hDlg, IDC_DEVICE_STATE, apptest::kDeviceReady);

    EXPECT_TRUE(ui::PressEscape(hDlg));
    EXPECT_TRUE(dlg.WaitClosed());
}

INSTANTIATE_TEST_SUITE_P(BootloaderIds, AppDevicePoll, ::testing::Values(0x5780, 0x03B4, 0x005A),
                         [](const ::testing::TestParamInfo<std::uint16_t>& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Pid%04X", info.param);
                             return std::string(name);
                         });

TEST(AppDevicePollNone, WithoutAUnitTheLineStaysEmptyAndThePollGoesOn)
{
    ResetUpdateStateForTest();
    SimHidBus bus;
    SimDeviceConfig otherVendor;
    otherVendor.vendorId = 0x845E;
    bus.AddDevice(otherVendor);
    SimDeviceConfig entryZero;
    entryZero.productId = 0x0000;
    bus.AddDevice(entryZero);

    const ULONGLONG opened = ::GetTickCount64();
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);
    // Each tick looks for entries 1, 2 and 3 in turn: two ticks, six looks.
    EXPECT_TRUE(ui::WaitUntil([&] { return bus.CallCount(SimCall::GetClassDevs) >= 6; }, 5000));
    // And no more than one tick a second: timers run late, never early.
    const std::size_t looks = bus.CallCount(SimCall::GetClassDevs);
    EXPECT_LE(looks, 3 * ((::GetTickCount64() - opened) / 1000 + 1));
    UI_EXPECT_TEXT(hDlg, IDC_DEVICE_STATE, L"");

    EXPECT_TRUE(ui::CloseWithCloseBox(hDlg));
    EXPECT_TRUE(dlg.WaitClosed());
}

} // namespace

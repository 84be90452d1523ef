// The main dialog as the user meets it: its controls when it opens, the
// system menu and the About box, the Cancel question, the ways of closing
// it, the error tip, and the window without its transfer buffer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app_messages.h"
#include "app_test_window.h"
#include "DialogUpdateWindow.h"
#include "sim_hid_bus.h"
#include "transfer_buffer.h"
#include "update_state.h"
#include "update_texts.h"

CORV_updateApp g_theApp;

namespace {

using apptest::MainDialog;

const wchar_t kCancelQuestion[] = L"Выйти из программы?";

class AppMainDialog : public ::testing::Test {
protected:
    void SetUp() override { ResetUpdateStateForTest(); }
    void TearDown() override
    {
        EXPECT_TRUE(apptest::WaitForWorkerEnd());
        SetTransferBufferAllocator(nullptr);
    }

    SimHidBus m_bus;
};

// Ends a box the way a user may: its OK button, Escape or the close box.
const char* const kWaysToEnd[] = {"ok", "escape", "close box"};

bool EndBox(HWND box, const std::string& how)
{
    if (how == "ok")
        return ui::ClickButton(box, IDOK);
    if (how == "escape")
        return ui::PressEscape(box);
    return ui::CloseWithCloseBox(box);
}

struct ControlAtStart {
    int id;
    std::wstring className;
    bool visible;
    std::wstring text;
};

TEST_F(AppMainDialog, OpensWithTheTemplatesControlsTheNoticeAndTheFocusOnStart)
{
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);
    EXPECT_EQ(apptest::kMainCaption, ui::WindowText(hDlg));
    EXPECT_EQ(nullptr, ui::Owner(hDlg));

    const std::vector<ControlAtStart> expected = {
        {IDC_STATIC, L"Static", true, L""},
        {IDC_BTN_CANCEL, L"Button", true, L"Отмена"},
        {IDC_LABEL_DATABASE, L"Static", false, L"11111111111111111"},
        {IDC_LABEL_FIRMWARE, L"Static", false, L"22222222222222"},
        {IDC_PROGRESS_DATABASE, L"msctls_progress32", false, L""},
        {IDC_PROGRESS_FIRMWARE, L"msctls_progress32", false, L""},
        {IDC_DEVICE_STATE, L"Static", true, L""},
        {IDC_STATUS, L"Static", true, kNoticeText},
        {IDC_BTN_START, L"Button", true, L"Начало"},
        {IDC_LABEL_AUDIO, L"Static", false, L"33333333"},
        {IDC_PROGRESS_AUDIO, L"msctls_progress32", false, L""},
        {IDC_PROGRESS_RADAR, L"msctls_progress32", false, L""},
        {IDC_LABEL_RADAR, L"Static", false, L"33333333"},
    };
    const std::vector<HWND> children = apptest::Children(hDlg);
    ASSERT_EQ(expected.size(), children.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        HWND child = children[i];
        EXPECT_EQ(expected[i].id, static_cast<int>(static_cast<short>(::GetDlgCtrlID(child))));
        EXPECT_EQ(0, _wcsicmp(expected[i].className.c_str(), apptest::ClassName(child).c_str()))
            << apptest::ClassName(child);
        EXPECT_EQ(expected[i].visible, (::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0);
        if (expected[i].id != IDC_STATIC) {
            EXPECT_EQ(expected[i].text, ui::WindowText(child));
        }
    }
    // The picture shows its bitmap; the bars keep the control's own range.
    EXPECT_NE(0, ::SendMessageW(children[0], STM_GETIMAGE, IMAGE_BITMAP, 0));
    for (int bar : {IDC_PROGRESS_DATABASE, IDC_PROGRESS_FIRMWARE, IDC_PROGRESS_AUDIO, IDC_PROGRESS_RADAR}) {
        HWND hBar = ::GetDlgItem(hDlg, bar);
        EXPECT_EQ(100, ::SendMessageW(hBar, PBM_GETRANGE, FALSE, 0)) << bar;
        EXPECT_EQ(0, ::SendMessageW(hBar, PBM_GETRANGE, TRUE, 0)) << bar;
        EXPECT_EQ(0, ::SendMessageW(hBar, PBM_GETPOS, 0, 0)) << bar;
    }

    EXPECT_EQ(::GetDlgItem(hDlg, IDC_BTN_START), dlg.FocusWhenShown());
    // The program's own icon: the platform hands out one shared handle per icon resource.
    const LRESULT ownIcon = reinterpret_cast<LRESULT>(::LoadIconW(::GetModuleHandleW(nullptr),
                                                                  MAKEINTRESOURCEW(IDR_MAINFRAME)));
    EXPECT_NE(0, ownIcon);
    EXPECT_EQ(ownIcon, ::SendMessageW(hDlg, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(ownIcon, ::SendMessageW(hDlg, WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(nullptr, dlg.Object());
    EXPECT_EQ(apptest::ProgramFolder(), dlg.Object()->m_szModuleDir);
    EXPECT_EQ(0, dlg.Object()->m_bUpdateDone);

    // Painted while not minimised, the window draws no icon: the middle of
    // its client area is the dialog's bare face, as its top right corner.
    ::SetWindowPos(hDlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(::RedrawWindow(hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN));
    RECT client{};
    ::GetClientRect(hDlg, &client);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    const POINT icon = MinimisedIconOrigin(client.right, client.bottom, cxIcon, cyIcon);
    HDC dc = ::GetDC(hDlg);
    const COLORREF face = ::GetPixel(dc, client.right - 2, 2);
    int drawn = 0;
    for (int y = icon.y; y < icon.y + cyIcon; ++y)
        for (int x = icon.x; x < icon.x + cxIcon; ++x)
            drawn += ::GetPixel(dc, x, y) != face;
    ::ReleaseDC(hDlg, dc);
    EXPECT_NE(CLR_INVALID, face);
    EXPECT_EQ(0, drawn) << "pixels differ from the dialog's face in the middle of the window";

    // The focus is on Start: Enter presses it (no unit: the E16 message,
    // whose type names no icon: an OK box gets the exclamation mark).
    ASSERT_TRUE(dlg.PressEnterOn(IDC_BTN_START));
    HWND box = dlg.WaitOwned(apptest::ProgramName());
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Ошибка E16\nУстройство не подключено！", ui::MessageBoxText(box));
    EXPECT_EQ(::LoadIconW(nullptr, IDI_EXCLAMATION), ui::MessageBoxIcon(box));
    EXPECT_EQ(std::vector<int>{IDOK}, ui::MessageBoxButtons(box));
    EXPECT_TRUE(ui::ClickButton(box, IDOK));
    UI_EXPECT_GONE(box);
    EXPECT_TRUE(::IsWindow(hDlg));

    // Escape asks nothing.
    EXPECT_TRUE(ui::PressEscape(hDlg));
    ASSERT_TRUE(dlg.WaitClosed());
    EXPECT_EQ(IDCANCEL, dlg.Result());
}

TEST_F(AppMainDialog, SystemMenuEndsInTheAboutEntryWhoseCommandsOpenTheAboutBox)
{
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);

    HMENU menu = ::GetSystemMenu(hDlg, FALSE);
    ASSERT_NE(nullptr, menu);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_NE(0u, ::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
    wchar_t entry[64] = {};
    ::GetMenuStringW(menu, count - 1, entry, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"&About ORV_update...", entry);
    EXPECT_EQ(16u, ::GetMenuItemID(menu, count - 1));
    EXPECT_EQ(0u, ::GetMenuState(menu, count - 1, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));

    // 16 to 31 all mean the About entry; each way of ending the box leaves
    // the main window as it was. The box is centred on the main window,
    // wherever that stands.
    ASSERT_TRUE(::SetWindowPos(hDlg, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    const struct {
        UINT command;
        const char* how;
    } runs[] = {{16, "ok"}, {31, "escape"}, {23, "close box"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.how);
        ASSERT_TRUE(::PostMessageW(hDlg, WM_SYSCOMMAND, run.command, 0));
        HWND about = dlg.WaitOwned(L"About Flashwright");
        ASSERT_NE(nullptr, about);
        EXPECT_FALSE(::IsWindowEnabled(hDlg));
        EXPECT_NEAR(apptest::Centre(hDlg).x, apptest::Centre(about).x, 1);
        EXPECT_NEAR(apptest::Centre(hDlg).y, apptest::Centre(about).y, 1);
        const std::vector<HWND> items = apptest::Children(about);
        ASSERT_EQ(4u, items.size());
        EXPECT_EQ(SS_ICON, ::GetWindowLongW(items[0], GWL_STYLE) & SS_TYPEMASK);
        EXPECT_NE(0, ::SendMessageW(items[0], STM_GETICON, 0, 0));
        EXPECT_EQ(L"Morvel Quillon(V3.0.6) ", ui::WindowText(items[1]));
        EXPECT_EQ(L"USB firmware updater", ui::WindowText(items[2]));
        EXPECT_EQ(L"OK", ui::WindowText(items[3]));
        EXPECT_EQ(IDOK, ::GetDlgCtrlID(items[3]));

        EXPECT_TRUE(EndBox(about, run.how));
        UI_EXPECT_GONE(about);
        EXPECT_TRUE(ui::WaitUntil([&] { return ::IsWindowEnabled(hDlg) != FALSE; }));
    }
    UI_EXPECT_TEXT(hDlg, IDC_STATUS, kNoticeText);

    // Another command is the system's: it returns at once, with no box.
    DWORD_PTR unused = 0;
    EXPECT_NE(0, ::SendMessageTimeoutW(hDlg, WM_SYSCOMMAND, 32, 0, SMTO_BLOCK, 5000, &unused));
    EXPECT_TRUE(::IsWindowEnabled(hDlg));

    // The system menu's Close (and the close box) closes without a question.
    EXPECT_TRUE(ui::CloseWithCloseBox(hDlg));
    ASSERT_TRUE(dlg.WaitClosed());
    EXPECT_EQ(IDCANCEL, dlg.Result());
}

TEST_F(AppMainDialog, CancelAsksAndOnlyYesClosesWhileTheTimersGoOn)
{
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);

    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_CANCEL));
    HWND box = dlg.WaitOwned(apptest::ProgramName());
    ASSERT_NE(nullptr, box) << "no question captioned " << testing::PrintToString(apptest::ProgramName());
    EXPECT_EQ(kCancelQuestion, ui::MessageBoxText(box));
    EXPECT_EQ(::LoadIconW(nullptr, IDI_QUESTION), ui::MessageBoxIcon(box));
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), ui::MessageBoxButtons(box));

    // The unit comes while the question is open; after No the poll still runs.
    m_bus.AddDevice();
    ASSERT_TRUE(::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0));
    UI_EXPECT_GONE(box);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::ControlText(hDlg, IDC_DEVICE_STATE) == apptest::kDeviceReady; }));
    EXPECT_TRUE(::IsWindow(hDlg));
    EXPECT_TRUE(::IsWindowEnabled(hDlg));

    // The focus came back to Cancel: Enter asks again, and No keeps the window.
    ASSERT_TRUE(dlg.PressEnterOn(IDC_BTN_CANCEL));
    EXPECT_EQ(kCancelQuestion, UI_ANSWER_BOX(dlg.ThreadId(), apptest::ProgramName(), IDNO));
    EXPECT_TRUE(::IsWindow(hDlg));

    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_CANCEL));
    EXPECT_EQ(kCancelQuestion, UI_ANSWER_BOX(dlg.ThreadId(), apptest::ProgramName(), IDYES));
    ASSERT_TRUE(dlg.WaitClosed());
    EXPECT_EQ(IDCANCEL, dlg.Result());
}

TEST(AppMinimisedIcon, IsCentredWithHalvesTruncatedTowardZero)
{
    EXPECT_EQ(64, MinimisedIconOrigin(160, 31, 32, 32).x);
    EXPECT_EQ(0, MinimisedIconOrigin(160, 31, 32, 32).y);
    EXPECT_EQ(-15, MinimisedIconOrigin(0, 0, 32, 32).x);
    EXPECT_EQ(-15, MinimisedIconOrigin(0, 0, 32, 32).y);
    EXPECT_EQ(8, MinimisedIconOrigin(32, 33, 16, 16).x);
    EXPECT_EQ(9, MinimisedIconOrigin(32, 33, 16, 16).y);
}

// What the worker does after a failed write, here from a thread of the test:
// the error tip, then the close of the main dialog.
TEST_F(AppMainDialog, ErrorTipEndsEveryWayWithZeroAndTheWorkersCloseThenEndsTheDialog)
{
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);
    ASSERT_TRUE(::SetWindowPos(hDlg, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));

    for (const char* how : kWaysToEnd) {
        SCOPED_TRACE(how);
        std::atomic<LRESULT> sent{-1};
        ui::UiThread worker([&] { sent = ::SendMessageW(hDlg, WM_UPDATE_ERROR, 0, 0); });
        HWND tip = dlg.WaitOwned(L"Dialog");
        ASSERT_NE(nullptr, tip);
        EXPECT_NEAR(apptest::Centre(hDlg).x, apptest::Centre(tip).x, 1);
        EXPECT_NEAR(apptest::Centre(hDlg).y, apptest::Centre(tip).y, 1);
        const std::vector<HWND> items = apptest::Children(tip);
        ASSERT_EQ(2u, items.size());
        EXPECT_EQ(L"OK", ui::WindowText(items[0]));
        EXPECT_EQ(IDOK, ::GetDlgCtrlID(items[0]));
        EXPECT_EQ(L"Update error，Update again please!", ui::WindowText(items[1]));
        EXPECT_FALSE(::IsWindowEnabled(hDlg));
        EXPECT_FALSE(worker.Join(0)) << "the send returned before the tip was closed";

        EXPECT_TRUE(EndBox(tip, how));
        ASSERT_TRUE(worker.Join());
        EXPECT_EQ(0, sent);
        EXPECT_TRUE(::IsWindow(hDlg));
    }

    ui::UiThread worker([&] { DialogUpdateWindow(hDlg).CloseDialog(); });
    EXPECT_TRUE(worker.Join());
    ASSERT_TRUE(dlg.WaitClosed());
    EXPECT_EQ(IDCANCEL, dlg.Result());
}

unsigned char* NoBuffer(std::size_t)
{
    return nullptr;
}

TEST_F(AppMainDialog, WithoutTransferBufferTheWindowOpensBareAndStartSendsNothing)
{
    SetTransferBufferAllocator(&NoBuffer);
    const int unit = m_bus.AddDevice();
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);

    EXPECT_EQ(L"", ui::ControlText(hDlg, IDC_STATUS));
    EXPECT_EQ(0, ::SendMessageW(hDlg, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(0, ::SendMessageW(hDlg, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(nullptr, dlg.FocusWhenShown());
    ASSERT_NE(nullptr, dlg.Object());
    EXPECT_STREQ(L"", dlg.Object()->m_szModuleDir);
    // The system menu step comes before the allocation.
    HMENU menu = ::GetSystemMenu(hDlg, FALSE);
    EXPECT_EQ(16u, ::GetMenuItemID(menu, ::GetMenuItemCount(menu) - 1));

    // No poll: two ticks' time without a single look for the unit.
    ::Sleep(2200);
    EXPECT_EQ(0u, m_bus.CallCount(SimCall::GetClassDevs));
    UI_EXPECT_TEXT(hDlg, IDC_DEVICE_STATE, L"");

    // Start finds the unit, yet the worker ends before it sends a report.
    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
    EXPECT_TRUE(ui::WaitUntil([&] { return !ui::IsControlEnabled(hDlg, IDC_BTN_START); }));
    EXPECT_TRUE(apptest::WaitForWorkerEnd());
    EXPECT_EQ(nullptr, g_pImage.load());
    EXPECT_TRUE(m_bus.Commands(unit).empty());
    EXPECT_EQ(0u, m_bus.ReportsTaken(unit));
    EXPECT_TRUE(::IsWindow(hDlg));
    UI_EXPECT_HIDDEN(hDlg, IDC_LABEL_DATABASE);
    UI_EXPECT_HIDDEN(hDlg, IDC_LABEL_FIRMWARE);

    EXPECT_TRUE(ui::PressEscape(hDlg));
    ASSERT_TRUE(dlg.WaitClosed());
    EXPECT_EQ(IDCANCEL, dlg.Result());
}

// The program's own start, through the framework's main routine: the
// dialog is the main window, so the boxes of its thread are owned by it; a
// normal close ends the program with 0, and no loop of its own follows.
TEST_F(AppMainDialog, ApplicationRunsTheDialogAsItsMainWindowOnceAndEndsWithZero)
{
    std::atomic<int> exitCode{-2};
    ui::UiThread appThread([&] {
        exitCode = AfxWinMain(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), SW_SHOW);
    });
    HWND hDlg = UI_WAIT_DIALOG(appThread.Id(), apptest::kMainCaption);
    ASSERT_NE(nullptr, hDlg);
    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_CANCEL));
    HWND box = UI_WAIT_DIALOG(appThread.Id(), apptest::ProgramName());
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(hDlg, ui::Owner(box));
    EXPECT_FALSE(::IsWindowEnabled(hDlg));
    ASSERT_TRUE(::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0));
    UI_EXPECT_GONE(box);

    EXPECT_TRUE(ui::CloseWithCloseBox(hDlg));
    ASSERT_TRUE(appThread.Join());
    EXPECT_EQ(0, exitCode);
    EXPECT_EQ(nullptr, g_theApp.m_pMainWnd);
    EXPECT_STREQ(L"Local AppWizard-Generated Applications", g_theApp.m_pszRegistryKey);
    EXPECT_TRUE(AfxControlContainerEnabled());
    EXPECT_EQ(apptest::ProgramName(), g_theApp.m_pszAppName);
}

} // namespace

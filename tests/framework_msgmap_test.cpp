#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "afxwin.h"

namespace {

std::vector<std::string> g_calls;

class CBaseWnd : public CWnd {
public:
    void OnTimer(UINT_PTR nIDEvent) { g_calls.push_back("base timer " + std::to_string(nIDEvent)); }
    void OnPaint() { g_calls.push_back("base paint"); }
    void OnBaseCommand() { g_calls.push_back("base command"); }
    LRESULT OnPrivate(WPARAM w, LPARAM l) { g_calls.push_back("private " + std::to_string(w) + " " + std::to_string(l)); return 77; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
    ON_WM_TIMER()
    ON_WM_PAINT()
    ON_COMMAND(100, &CBaseWnd::OnBaseCommand)
    ON_COMMAND(101, &CBaseWnd::OnBaseCommand)
    ON_MESSAGE(WM_USER + 8, &CBaseWnd::OnPrivate)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
public:
    void OnTimer(UINT_PTR nIDEvent) { g_calls.push_back("derived timer " + std::to_string(nIDEvent)); }
    void OnStart() { g_calls.push_back("derived start"); }
    void OnSysCommand(UINT nID, LPARAM lParam) { g_calls.push_back("sys " + std::to_string(nID) + " " + std::to_string(lParam)); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(0x1234)); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
    ON_WM_SYSCOMMAND()
    ON_WM_QUERYDRAGICON()
    ON_WM_TIMER()
    ON_BN_CLICKED(100, &CDerivedWnd::OnStart)
END_MESSAGE_MAP()

class CSpyApp : public CWinApp {
public:
    void OnFiveHundred() { g_calls.push_back("app 500"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSpyApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
    ON_COMMAND(500, &CSpyApp::OnFiveHundred)
END_MESSAGE_MAP()

CSpyApp g_app;

class CSpyDlg : public CDialog {
public:
    CSpyDlg() : CDialog(1) {}
    void OnOK() override { g_calls.push_back("ok"); CDialog::OnOK(); }
    void OnCancel() override { g_calls.push_back("cancel"); CDialog::OnCancel(); }
};

class MessageMap : public ::testing::Test {
protected:
    void SetUp() override { g_calls.clear(); }
};

TEST_F(MessageMap, DerivedEntryWinsAndBaseEntriesAreReached)
{
    CDerivedWnd wnd;
    LRESULT result = -1;
    EXPECT_TRUE(wnd.OnWndMsg(WM_TIMER, 3, 0, &result));
    EXPECT_TRUE(wnd.OnWndMsg(WM_PAINT, 0, 0, &result));
    EXPECT_TRUE(wnd.OnWndMsg(WM_USER + 8, 5, 6, &result));
    EXPECT_EQ(77, result);
    EXPECT_TRUE(wnd.OnWndMsg(WM_SYSCOMMAND, SC_CLOSE, 42, &result));
    EXPECT_TRUE(wnd.OnWndMsg(WM_QUERYDRAGICON, 0, 0, &result));
    EXPECT_EQ(0x1234, result);
    EXPECT_EQ((std::vector<std::string>{"derived timer 3", "base paint", "private 5 6",
                                        "sys " + std::to_string(SC_CLOSE) + " 42"}),
              g_calls);

    const AFX_MSGMAP* map = wnd.GetMessageMap();
    ASSERT_NE(nullptr, map->pfnGetBaseMap);
    EXPECT_EQ(CBaseWnd().GetMessageMap(), map->pfnGetBaseMap());
}

TEST_F(MessageMap, UnknownMessageIsLeftToTheDefault)
{
    CDerivedWnd wnd;
    LRESULT result = -1;
    EXPECT_FALSE(wnd.OnWndMsg(WM_DESTROY, 0, 0, &result));
    EXPECT_FALSE(wnd.OnWndMsg(WM_USER + 9, 0, 0, &result));
    EXPECT_EQ(-1, result);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(MessageMap, CommandsMatchIdAndNotificationCode)
{
    CDerivedWnd wnd;
    const LPARAM fromControl = 0x10;
    EXPECT_TRUE(wnd.OnCommand(MAKEWPARAM(100, BN_CLICKED), fromControl));   // derived wins
    EXPECT_TRUE(wnd.OnCommand(MAKEWPARAM(101, BN_CLICKED), fromControl));   // base reached
    EXPECT_FALSE(wnd.OnCommand(MAKEWPARAM(101, EN_CHANGE), fromControl));   // other notification
    EXPECT_FALSE(wnd.OnCommand(MAKEWPARAM(102, BN_CLICKED), fromControl));
    EXPECT_TRUE(wnd.OnCommand(MAKEWPARAM(101, 1), 0));                      // accelerator
    EXPECT_EQ((std::vector<std::string>{"derived start", "base command", "base command"}), g_calls);
}

TEST_F(MessageMap, DialogSendsOkCancelToItsVirtualsAndOtherCommandsToTheApplication)
{
    CSpyDlg dlg;
    EXPECT_TRUE(dlg.OnCommand(MAKEWPARAM(IDOK, BN_CLICKED), 0));
    EXPECT_TRUE(dlg.OnCommand(MAKEWPARAM(IDCANCEL, BN_CLICKED), 0));
    EXPECT_TRUE(dlg.OnCommand(MAKEWPARAM(500, 0), 0));
    EXPECT_TRUE(dlg.OnCommand(MAKEWPARAM(ID_HELP, 0), 0));
    // A control's notification is not a command: it stays with the dialog.
    EXPECT_FALSE(dlg.OnCommand(MAKEWPARAM(500, EN_CHANGE), 0x10));
    EXPECT_FALSE(dlg.OnCommand(MAKEWPARAM(501, 0), 0));
    EXPECT_EQ((std::vector<std::string>{"ok", "cancel", "app 500"}), g_calls);
}

} // namespace

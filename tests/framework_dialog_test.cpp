#include <gtest/gtest.h>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include "afxwin.h"
#include "framework_test_res.h"
#include "ui/ui_driver.h"

namespace {

constexpr UINT WM_PROBE_SETTEXT_NESTED = WM_APP + 1;    // nested inside the WM_SETTEXT handler
constexpr UINT WM_PROBE_THROW = WM_APP + 2;             // its handler throws
constexpr UINT WM_PROBE_ASK = WM_APP + 3;               // its handler asks with AfxMessageBox
constexpr UINT WM_PROBE_NESTED = WM_APP + 4;            // its handler runs a second dialog, no parent

CWinApp g_app;

class CTestDlg : public CDialog {
public:
    explicit CTestDlg(UINT nIDTemplate = IDD_FW_BASIC, CWnd* pParent = nullptr)
        : CDialog(nIDTemplate, pParent) {}

    CProgressCtrl m_progress;
    std::atomic<int> m_nOk{0};
    std::atomic<int> m_nCancel{0};
    std::atomic<bool> m_bBoundAtInit{false};
    std::atomic<int> m_nAnswer{0};
    std::atomic<INT_PTR> m_nNestedResult{0};
    std::vector<UINT> m_sysCommands;
    std::vector<std::string> m_trace;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        if (m_nIDHelp == IDD_FW_BASIC)
            DDX_Control(pDX, IDC_FW_PROGRESS, m_progress);
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_bBoundAtInit = m_progress.m_hWnd == ::GetDlgItem(m_hWnd, IDC_FW_PROGRESS)
                         && m_progress.m_hWnd != nullptr && GetDlgItem(IDC_FW_PROGRESS) == &m_progress;
        if (m_progress.m_hWnd != nullptr) {
            m_progress.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 300));
            m_progress.SetPos(120);
        }
        return TRUE;
    }

    void OnOK() override { ++m_nOk; CDialog::OnOK(); }
    void OnCancel() override { ++m_nCancel; CDialog::OnCancel(); }

    void OnAction() { EndDialog(42); }

    void OnSysCommand(UINT nID, LPARAM lParam)
    {
        m_sysCommands.push_back(nID);
        CDialog::OnSysCommand(nID, lParam);
    }

    LRESULT OnSetTextMsg(WPARAM, LPARAM lParam)
    {
        m_trace.push_back("settext");
        SendMessage(WM_PROBE_SETTEXT_NESTED);
        if (std::wstring(reinterpret_cast<LPCWSTR>(lParam)) == L"refused")
            return FALSE;
        return Default();
    }
    LRESULT OnNested(WPARAM, LPARAM) { m_trace.push_back("nested"); return 0; }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error("handler failed"); }
    LRESULT OnAsk(WPARAM, LPARAM)
    {
        m_nAnswer = AfxMessageBox(L"Выйти из программы?", MB_YESNO);
        return 0;
    }

    LRESULT OnNestedModal(WPARAM, LPARAM)
    {
        CTestDlg nested(IDD_FW_BASIC);
        m_nNestedResult = nested.DoModal();
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
    ON_BN_CLICKED(IDC_FW_ACTION, &CTestDlg::OnAction)
    ON_WM_SYSCOMMAND()
    ON_MESSAGE(WM_SETTEXT, &CTestDlg::OnSetTextMsg)
    ON_MESSAGE(WM_PROBE_SETTEXT_NESTED, &CTestDlg::OnNested)
    ON_MESSAGE(WM_PROBE_THROW, &CTestDlg::OnThrow)
    ON_MESSAGE(WM_PROBE_ASK, &CTestDlg::OnAsk)
    ON_MESSAGE(WM_PROBE_NESTED, &CTestDlg::OnNestedModal)
END_MESSAGE_MAP()

const wchar_t kBasic[] = L"Framework basic";
const wchar_t kPlain[] = L"Framework plain";

class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        AfxWinInit(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), SW_SHOW);
    }
    void TearDown() override { g_app.m_pMainWnd = nullptr; }
};

// A plain top-level window, to own dialogs.
HWND MakeOwner()
{
    return ::CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             10, 10, 300, 200, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(DialogTest, MissingTemplateGivesMinusOneAndLeavesTheOwnerAlone)
{
    HWND hOwner = MakeOwner();
    CWnd owner;
    ASSERT_TRUE(owner.Attach(hOwner));
    CTestDlg dlg(IDD_FW_MISSING, &owner);
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_TRUE(::IsWindowEnabled(hOwner));
    EXPECT_EQ(nullptr, dlg.m_hWnd);
    owner.Detach();
    ::DestroyWindow(hOwner);
}

TEST_F(DialogTest, ModalRunDisablesItsOwnerAndReturnsTheEndDialogResult)
{
    std::atomic<HWND> hOwner{nullptr};
    INT_PTR result = 0;
    BOOL ownerEnabledAfter = FALSE;
    CWnd owner;
    CTestDlg dlg(IDD_FW_BASIC, &owner);
    ui::UiThread thread([&] {
        owner.Attach(MakeOwner());
        hOwner = owner.m_hWnd;
        result = dlg.DoModal();
        ownerEnabledAfter = ::IsWindowEnabled(owner.m_hWnd);
        ::DestroyWindow(owner.Detach());
    });
    HWND hDlg = UI_WAIT_DIALOG(thread.Id(), kBasic);
    ASSERT_NE(nullptr, hDlg);
    EXPECT_EQ(hOwner.load(), ui::Owner(hDlg));
    EXPECT_FALSE(::IsWindowEnabled(hOwner));
    EXPECT_TRUE(ui::ClickButton(hDlg, IDC_FW_ACTION));
    ASSERT_TRUE(thread.Join());
    EXPECT_EQ(42, result);
    EXPECT_TRUE(ownerEnabledAfter);
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

// Runs the fixture's dialog modally on a UI thread of its own. The main
// dialog (IDD_FW_PLAIN) is the application's main window, on the
// application's thread, as in the tool.
class RunningDialogTest : public DialogTest {
protected:
    explicit RunningDialogTest(UINT id = IDD_FW_BASIC) : m_dlg(id) {}

    // TRUE once the dialog shows.
    bool Start()
    {
        const bool isMain = m_dlg.m_nIDHelp == IDD_FW_PLAIN;
        m_thread.reset(new ui::UiThread([this, isMain] {
            if (isMain) {
                g_app.m_nThreadID = ::GetCurrentThreadId();
                g_app.m_pMainWnd = &m_dlg;
            }
            m_result = m_dlg.DoModal();
            m_mainForgotten = g_app.m_pMainWnd == nullptr;
        }));
        m_hDlg = ui::WaitForDialog(m_thread->Id(), isMain ? kPlain : kBasic);
        return m_hDlg != nullptr;
    }

    CTestDlg m_dlg;
    std::unique_ptr<ui::UiThread> m_thread;
    HWND m_hDlg = nullptr;
    std::atomic<INT_PTR> m_result{0};
    std::atomic<bool> m_mainForgotten{false};
};

class MainDialogTest : public RunningDialogTest {
protected:
    MainDialogTest() : RunningDialogTest(IDD_FW_PLAIN) {}
    // Closes the main dialog with the close box and waits for its thread.
    void CloseMain()
    {
        EXPECT_TRUE(ui::CloseWithCloseBox(m_hDlg));
        EXPECT_TRUE(m_thread->Join());
        EXPECT_EQ(IDCANCEL, m_result);
    }
};

TEST_F(MainDialogTest, MainDialogIsCentredHasNoOwnerAndOwnsDialogsRunWithoutParent)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(nullptr, ui::Owner(m_hDlg));
    RECT rc;
    ::GetWindowRect(m_hDlg, &rc);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hDlg, MONITOR_DEFAULTTONEAREST), &mi);
    EXPECT_NEAR((mi.rcWork.left + mi.rcWork.right) / 2, (rc.left + rc.right) / 2, 2);
    EXPECT_NEAR((mi.rcWork.top + mi.rcWork.bottom) / 2, (rc.top + rc.bottom) / 2, 2);

    ASSERT_TRUE(::PostMessageW(m_hDlg, WM_PROBE_NESTED, 0, 0));
    ui::WindowQuery q;
    q.caption = kBasic;
    q.owner = m_hDlg;
    q.matchOwner = true;
    HWND hNested = ui::WaitForWindow(m_thread->Id(), q);
    ASSERT_NE(nullptr, hNested);
    EXPECT_FALSE(::IsWindowEnabled(m_hDlg));
    EXPECT_TRUE(ui::PressEscape(hNested));
    UI_EXPECT_GONE(hNested);
    EXPECT_TRUE(ui::WaitUntil([&] { return m_dlg.m_nNestedResult == IDCANCEL; }));
    EXPECT_TRUE(::IsWindowEnabled(m_hDlg));

    CloseMain();
    EXPECT_TRUE(m_mainForgotten);
}

TEST_F(MainDialogTest, CloseBoxAndEscapeReachOnCancelThroughTheDefaultHandling)
{
    ASSERT_TRUE(Start());
    CloseMain();
    EXPECT_EQ(1, m_dlg.m_nCancel);
    EXPECT_EQ(0, m_dlg.m_nOk);
    ASSERT_FALSE(m_dlg.m_sysCommands.empty());
    EXPECT_EQ(static_cast<UINT>(SC_CLOSE), m_dlg.m_sysCommands.back() & 0xFFF0);

    m_result = 0;
    ASSERT_TRUE(Start());
    EXPECT_TRUE(ui::PressEscape(m_hDlg));
    EXPECT_TRUE(m_thread->Join());
    EXPECT_EQ(IDCANCEL, m_result);
    EXPECT_EQ(2, m_dlg.m_nCancel);
}

TEST_F(MainDialogTest, MessageBoxIsCaptionedWithTheProgramNameAndOwnedOnTheMainThreadOnly)
{
    ASSERT_TRUE(Start());
    const std::wstring caption = L"framework_dialog_test";
    ASSERT_STREQ(caption.c_str(), g_app.m_pszAppName);

    ASSERT_TRUE(::PostMessageW(m_hDlg, WM_PROBE_ASK, 0, 0));
    std::wstring text;
    EXPECT_TRUE(ui::AnswerMessageBox(m_thread->Id(), caption, IDYES, &text, m_hDlg, true));
    EXPECT_NE(std::wstring::npos, text.find(L"Выйти из программы?"));
    EXPECT_TRUE(ui::WaitUntil([&] { return m_dlg.m_nAnswer == IDYES; }));

    // From any other thread the box has no owner.
    std::atomic<int> answer{0};
    ui::UiThread worker([&] { answer = AfxMessageBox(L"data error！"); });
    EXPECT_TRUE(ui::AnswerMessageBox(worker.Id(), caption, IDOK, &text, nullptr, true));
    EXPECT_TRUE(worker.Join());
    EXPECT_EQ(IDOK, answer);
    EXPECT_NE(std::wstring::npos, text.find(L"data error！"));

    CloseMain();
}

TEST_F(RunningDialogTest, InitialisationBindsTheProgressBarUntilTheWindowEnds)
{
    ASSERT_TRUE(Start());
    // Bound, the control is handed out as the member itself.
    EXPECT_TRUE(m_dlg.m_bBoundAtInit);
    EXPECT_EQ(120, ::SendMessageW(m_dlg.m_progress.m_hWnd, PBM_GETPOS, 0, 0));
    EXPECT_EQ(300, ::SendMessageW(m_dlg.m_progress.m_hWnd, PBM_GETRANGE, FALSE, 0));

    // Other controls come as wrappers that work from this thread too.
    CWnd* pText = m_dlg.GetDlgItem(IDC_FW_TEXT);
    ASSERT_NE(nullptr, pText);
    EXPECT_EQ(L"Начало", ui::WindowText(pText->m_hWnd));
    pText->SetWindowText(L"Готово");
    UI_EXPECT_TEXT(m_hDlg, IDC_FW_TEXT, L"Готово");
    m_dlg.GetDlgItem(IDC_FW_ACTION)->EnableWindow(FALSE);
    UI_EXPECT_DISABLED(m_hDlg, IDC_FW_ACTION);
    EXPECT_EQ(nullptr, m_dlg.GetDlgItem(4321));

    // Enter with the focus in the edit box presses the default button, IDOK.
    EXPECT_TRUE(ui::WaitUntil([&] {
        return ::SendMessageTimeoutW(m_hDlg, WM_NEXTDLGCTL,
                   reinterpret_cast<WPARAM>(::GetDlgItem(m_hDlg, IDC_FW_EDIT)), TRUE,
                   SMTO_BLOCK, 1000, nullptr) != 0;
    }));
    EXPECT_TRUE(ui::PressEnter(m_hDlg));
    ASSERT_TRUE(m_thread->Join());
    EXPECT_EQ(IDOK, m_result);
    EXPECT_EQ(1, m_dlg.m_nOk);
    EXPECT_EQ(nullptr, m_dlg.m_progress.m_hWnd);
}

TEST_F(RunningDialogTest, EndDialogFromAnotherThreadEndsTheModalLoop)
{
    ASSERT_TRUE(Start());
    static_cast<CDialog&>(m_dlg).OnCancel();   // as the update worker closes the dialog
    ASSERT_TRUE(m_thread->Join());
    EXPECT_EQ(IDCANCEL, m_result);
    EXPECT_FALSE(::IsWindow(m_hDlg));
}

TEST_F(RunningDialogTest, DefaultPassesTheCurrentMessageWithItsOwnParameters)
{
    ASSERT_TRUE(Start());

    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(m_hDlg, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Новый"),
                                      SMTO_BLOCK, 5000, &result));
    EXPECT_EQ(TRUE, static_cast<BOOL>(result));
    EXPECT_EQ(L"Новый", ui::WindowText(m_hDlg));
    ASSERT_TRUE(::SendMessageTimeoutW(m_hDlg, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"refused"),
                                      SMTO_BLOCK, 5000, &result));
    EXPECT_EQ(L"Новый", ui::WindowText(m_hDlg));

    // A handler that throws leaves the window working.
    EXPECT_TRUE(::SendMessageTimeoutW(m_hDlg, WM_PROBE_THROW, 0, 0, SMTO_BLOCK, 5000, &result));
    EXPECT_TRUE(::IsWindow(m_hDlg));

    EXPECT_TRUE(ui::ClickButton(m_hDlg, IDCANCEL));
    ASSERT_TRUE(m_thread->Join());
    EXPECT_EQ((std::vector<std::string>{"settext", "nested", "settext", "nested"}), m_dlg.m_trace);
}

} // namespace

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
                         && m_progress.m_hWnd != nullptr;
        if (m_progress.m_hWnd != nullptr) {
            m_progress.SetRange(0, 300);
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

// Runs a main dialog (IDD_FW_PLAIN, the application's main window) on a UI
// thread that is the application's thread, as the tool does.
class MainDialogTest : public DialogTest {
protected:
    void StartMain()
    {
        m_thread.reset(new ui::UiThread([this] {
            g_app.m_nThreadID = ::GetCurrentThreadId();
            g_app.m_pMainWnd = &m_main;
            m_result = m_main.DoModal();
            m_mainForgotten = g_app.m_pMainWnd == nullptr;
        }));
        m_hMain = ui::WaitForDialog(m_thread->Id(), kPlain);
    }
    // Closes the main dialog with the close box and waits for its thread.
    void CloseMain()
    {
        EXPECT_TRUE(ui::CloseWithCloseBox(m_hMain));
        EXPECT_TRUE(m_thread->Join());
        EXPECT_EQ(IDCANCEL, m_result);
    }

    CTestDlg m_main{IDD_FW_PLAIN};
    std::unique_ptr<ui::UiThread> m_thread;
    HWND m_hMain = nullptr;
    std::atomic<INT_PTR> m_result{0};
    std::atomic<bool> m_mainForgotten{false};
};

TEST_F(MainDialogTest, MainDialogIsCentredHasNoOwnerAndOwnsDialogsRunWithoutParent)
{
    StartMain();
    ASSERT_NE(nullptr, m_hMain);
    EXPECT_EQ(nullptr, ui::Owner(m_hMain));
    RECT rc;
    ::GetWindowRect(m_hMain, &rc);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hMain, MONITOR_DEFAULTTONEAREST), &mi);
    EXPECT_NEAR((mi.rcWork.left + mi.rcWork.right) / 2, (rc.left + rc.right) / 2, 2);
    EXPECT_NEAR((mi.rcWork.top + mi.rcWork.bottom) / 2, (rc.top + rc.bottom) / 2, 2);

    ASSERT_TRUE(::PostMessageW(m_hMain, WM_PROBE_NESTED, 0, 0));
    ui::WindowQuery q;
    q.caption = kBasic;
    q.owner = m_hMain;
    q.matchOwner = true;
    HWND hNested = ui::WaitForWindow(m_thread->Id(), q);
    ASSERT_NE(nullptr, hNested);
    EXPECT_FALSE(::IsWindowEnabled(m_hMain));
    EXPECT_TRUE(ui::PressEscape(hNested));
    UI_EXPECT_GONE(hNested);
    EXPECT_TRUE(ui::WaitUntil([&] { return m_main.m_nNestedResult == IDCANCEL; }));
    EXPECT_TRUE(::IsWindowEnabled(m_hMain));

    CloseMain();
    EXPECT_TRUE(m_mainForgotten);
}

TEST_F(MainDialogTest, CloseBoxAndEscapeReachOnCancelThroughTheDefaultHandling)
{
    StartMain();
    ASSERT_NE(nullptr, m_hMain);
    CloseMain();
    EXPECT_EQ(1, m_main.m_nCancel);
    EXPECT_EQ(0, m_main.m_nOk);
    ASSERT_FALSE(m_main.m_sysCommands.empty());
    EXPECT_EQ(static_cast<UINT>(SC_CLOSE), m_main.m_sysCommands.back() & 0xFFF0);

    m_result = 0;
    StartMain();
    ASSERT_NE(nullptr, m_hMain);
    EXPECT_TRUE(ui::PressEscape(m_hMain));
    EXPECT_TRUE(m_thread->Join());
    EXPECT_EQ(IDCANCEL, m_result);
    EXPECT_EQ(2, m_main.m_nCancel);
}

TEST_F(MainDialogTest, MessageBoxIsCaptionedWithTheProgramNameAndOwnedOnTheMainThreadOnly)
{
    StartMain();
    ASSERT_NE(nullptr, m_hMain);
    const std::wstring caption = L"framework_dialog_test";
    ASSERT_STREQ(caption.c_str(), g_app.m_pszAppName);

    ASSERT_TRUE(::PostMessageW(m_hMain, WM_PROBE_ASK, 0, 0));
    std::wstring text;
    EXPECT_TRUE(ui::AnswerMessageBox(m_thread->Id(), caption, IDYES, &text, m_hMain, true));
    EXPECT_NE(std::wstring::npos, text.find(L"Выйти из программы?"));
    EXPECT_TRUE(ui::WaitUntil([&] { return m_main.m_nAnswer == IDYES; }));

    // From any other thread the box has no owner.
    std::atomic<int> answer{0};
    ui::UiThread worker([&] { answer = AfxMessageBox(L"data error！"); });
    EXPECT_TRUE(ui::AnswerMessageBox(worker.Id(), caption, IDOK, &text, nullptr, true));
    EXPECT_TRUE(worker.Join());
    EXPECT_EQ(IDOK, answer);
    EXPECT_NE(std::wstring::npos, text.find(L"data error！"));

    CloseMain();
}

TEST_F(DialogTest, InitialisationBindsTheProgressBarUntilTheWindowEnds)
{
    CTestDlg dlg(IDD_FW_BASIC);
    INT_PTR result = 0;
    ui::UiThread thread([&] { result = dlg.DoModal(); });
    HWND hDlg = UI_WAIT_DIALOG(thread.Id(), kBasic);
    ASSERT_NE(nullptr, hDlg);
    EXPECT_TRUE(dlg.m_bBoundAtInit);
    // The bound control is handed out as the member itself, on any thread.
    EXPECT_EQ(&dlg.m_progress, dlg.GetDlgItem(IDC_FW_PROGRESS));
    EXPECT_EQ(120, dlg.m_progress.GetPos());
    int lower = -1, upper = -1;
    dlg.m_progress.GetRange(lower, upper);
    EXPECT_EQ(0, lower);
    EXPECT_EQ(300, upper);

    // Other controls come as wrappers that work from this thread too.
    CWnd* pText = dlg.GetDlgItem(IDC_FW_TEXT);
    ASSERT_NE(nullptr, pText);
    EXPECT_EQ(L"Начало", pText->GetWindowText());
    pText->SetWindowText(L"Готово");
    UI_EXPECT_TEXT(hDlg, IDC_FW_TEXT, L"Готово");
    dlg.GetDlgItem(IDC_FW_ACTION)->EnableWindow(FALSE);
    UI_EXPECT_DISABLED(hDlg, IDC_FW_ACTION);
    EXPECT_EQ(nullptr, dlg.GetDlgItem(4321));

    // Enter with the focus in the edit box presses the default button, IDOK.
    EXPECT_TRUE(ui::WaitUntil([&] {
        return ::SendMessageTimeoutW(hDlg, WM_NEXTDLGCTL,
                   reinterpret_cast<WPARAM>(::GetDlgItem(hDlg, IDC_FW_EDIT)), TRUE,
                   SMTO_BLOCK, 1000, nullptr) != 0;
    }));
    EXPECT_TRUE(ui::PressEnter(hDlg));
    ASSERT_TRUE(thread.Join());
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(1, dlg.m_nOk);
    EXPECT_EQ(nullptr, dlg.m_progress.m_hWnd);
}

TEST_F(DialogTest, EndDialogFromAnotherThreadEndsTheModalLoop)
{
    CTestDlg dlg(IDD_FW_BASIC);
    INT_PTR result = 0;
    ui::UiThread thread([&] { result = dlg.DoModal(); });
    HWND hDlg = UI_WAIT_DIALOG(thread.Id(), kBasic);
    ASSERT_NE(nullptr, hDlg);
    static_cast<CDialog&>(dlg).OnCancel();   // as the update worker closes the dialog
    ASSERT_TRUE(thread.Join());
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_FALSE(::IsWindow(hDlg));
}

TEST_F(DialogTest, DefaultPassesTheCurrentMessageWithItsOwnParameters)
{
    CTestDlg dlg(IDD_FW_BASIC);
    ui::UiThread thread([&] { dlg.DoModal(); });
    HWND hDlg = UI_WAIT_DIALOG(thread.Id(), kBasic);
    ASSERT_NE(nullptr, hDlg);

    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(hDlg, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Новый"),
                                      SMTO_BLOCK, 5000, &result));
    EXPECT_EQ(TRUE, static_cast<BOOL>(result));
    EXPECT_EQ(L"Новый", ui::WindowText(hDlg));
    ASSERT_TRUE(::SendMessageTimeoutW(hDlg, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"refused"),
                                      SMTO_BLOCK, 5000, &result));
    EXPECT_EQ(L"Новый", ui::WindowText(hDlg));

    // A handler that throws leaves the window working.
    EXPECT_TRUE(::SendMessageTimeoutW(hDlg, WM_PROBE_THROW, 0, 0, SMTO_BLOCK, 5000, &result));
    EXPECT_TRUE(::IsWindow(hDlg));

    EXPECT_TRUE(ui::ClickButton(hDlg, IDCANCEL));
    ASSERT_TRUE(thread.Join());
    EXPECT_EQ((std::vector<std::string>{"settext", "nested", "settext", "nested"}), dlg.m_trace);
}

} // namespace

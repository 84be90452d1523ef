#include <gtest/gtest.h>
#include <string>
#include "afxwin.h"
#include "fake_module_path.h"
#include "framework_test_res.h"
#include "ui/ui_driver.h"

namespace {

CWinApp g_app;

TEST(Application, NameIsTheProgramFileWithoutFolderAndExtension)
{
    EXPECT_EQ(L"ORV_update", AfxAppNameFromModulePath(L"C:\\Program Files\\Tool\\ORV_update.exe"));
    EXPECT_EQ(L"tool", AfxAppNameFromModulePath(L"D:\\A\\B\\tool.exe"));
    EXPECT_EQ(L"my.tool", AfxAppNameFromModulePath(L"D:\\x.y\\my.tool.EXE"));
    EXPECT_EQ(L"noext", AfxAppNameFromModulePath(L"D:\\dir.d\\noext"));
    EXPECT_EQ(L"unix", AfxAppNameFromModulePath(L"/tmp/unix.exe"));

    // No name given and no string 57344 in this program: the file name it is.
    AfxWinInit(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), SW_SHOW);
    EXPECT_STREQ(L"framework_app_test", g_app.m_pszAppName);
    EXPECT_EQ(&g_app, AfxGetApp());
    EXPECT_EQ(::GetModuleHandleW(nullptr), AfxGetInstanceHandle());
    EXPECT_EQ(::GetModuleHandleW(nullptr), AfxGetResourceHandle());
}

TEST(Application, ModulePathIsReadWholeAtAndBeyondItsBufferSize)
{
    for (bool terminates : {true, false}) {
        fake::g_terminatesWhenCut = terminates;
        for (std::size_t length : {std::size_t(MAX_PATH - 1), std::size_t(MAX_PATH), std::size_t(MAX_PATH + 1),
                                   std::size_t(2 * MAX_PATH), std::size_t(32000)}) {
            SCOPED_TRACE(std::to_string(length) + (terminates ? " cut with terminator" : " cut without"));
            fake::g_modulePath = L"C:\\" + std::wstring(length - 12, L'd') + L"\\Tool.exe";
            ASSERT_EQ(length, fake::g_modulePath.size());
            fake::g_moduleBufferSizes.clear();
            EXPECT_EQ(fake::g_modulePath, AfxGetModulePath(nullptr, &fake::ModuleFileName));
            EXPECT_GT(fake::g_moduleBufferSizes.back(), length);
        }
    }
    fake::g_modulePath.clear();
    EXPECT_EQ(L"", AfxGetModulePath(nullptr, &fake::ModuleFileName)) << "a failed call";
}

TEST(Application, GivenNameIsKept)
{
    CWinApp named(L"Named tool");
    EXPECT_EQ(&named, AfxGetApp());
    named.SetAppNameFromModule(::GetModuleHandleW(nullptr));
    EXPECT_STREQ(L"Named tool", named.m_pszAppName);
}

TEST(Application, MessageBoxStyleAddsTheIconOnlyWhenNoneIsNamed)
{
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), AfxMessageBoxStyle(MB_OK));
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION), AfxMessageBoxStyle(MB_OKCANCEL));
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), AfxMessageBoxStyle(MB_YESNO));
    EXPECT_EQ(static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION), AfxMessageBoxStyle(MB_YESNOCANCEL));
    EXPECT_EQ(0x24u, AfxMessageBoxStyle(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), AfxMessageBoxStyle(MB_OK | MB_ICONERROR));
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION),
              AfxMessageBoxStyle(MB_YESNO | MB_ICONINFORMATION));
}

TEST(Application, RegistryKeyAndControlContainerAreOnlyRecorded)
{
    EXPECT_FALSE(AfxControlContainerEnabled());
    AfxEnableControlContainer();
    EXPECT_TRUE(AfxControlContainerEnabled());
    g_app.SetRegistryKey(L"Local AppWizard-Generated Applications");
    EXPECT_STREQ(L"Local AppWizard-Generated Applications", g_app.m_pszRegistryKey);
    HKEY hKey = nullptr;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER,
        L"Software\\Local AppWizard-Generated Applications", 0, KEY_READ, &hKey));
}

TEST(Application, MainWindowIsForgottenWithADialogThatNeverOpened)
{
    g_app.m_nThreadID = ::GetCurrentThreadId();
    {
        CDialog dlg(IDD_FW_MISSING);
        g_app.m_pMainWnd = &dlg;
        EXPECT_EQ(&dlg, AfxGetMainWnd());
        EXPECT_EQ(-1, dlg.DoModal());
    }
    EXPECT_EQ(nullptr, g_app.m_pMainWnd);
    EXPECT_EQ(nullptr, AfxGetMainWnd());
    EXPECT_EQ(nullptr, AfxGetSafeOwner());
}

TEST(Application, MainWindowIsTheMainThreadsOnly)
{
    CWnd wrapper;
    g_app.m_nThreadID = ::GetCurrentThreadId();
    g_app.m_pMainWnd = &wrapper;
    CWnd* seenElsewhere = &wrapper;
    ui::UiThread other([&] { seenElsewhere = AfxGetMainWnd(); });
    ASSERT_TRUE(other.Join());
    EXPECT_EQ(nullptr, seenElsewhere);
    EXPECT_EQ(&wrapper, AfxGetMainWnd());
    g_app.m_pMainWnd = nullptr;
}

// Runs the probe program, renamed, through the framework's wWinMain: its
// application checks its own name and the end of a main dialog that cannot
// be created, and exits with what it found.
TEST(Application, RenamedProgramStartsAndEndsInOrder)
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir.erase(dir.find_last_of(L'\\') + 1);
    const std::wstring probe = dir + L"framework_probe.exe";

    wchar_t tempDir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tempDir);
    const std::wstring renamed = std::wstring(tempDir) + L"Renamed Tool "
                               + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    ASSERT_TRUE(::CopyFileW(probe.c_str(), renamed.c_str(), FALSE)) << "no probe beside the test";

    const std::wstring expected = L"Renamed Tool " + std::to_wstring(::GetCurrentProcessId());
    std::wstring cmd = L"\"" + renamed + L"\" " + expected;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(renamed.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(pi.hProcess, 30000));
    DWORD code = 0xFFFF;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::DeleteFileW(renamed.c_str());
    // 0x100: reached ExitInstance; the low bits name what went wrong.
    EXPECT_EQ(0x100u, code) << "1: name, 2: DoModal result, 4: main window kept, 8: no container";
}

} // namespace

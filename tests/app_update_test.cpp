// Whole updates through the real dialog and the simulated unit: Start
// pressed as a user would, the regions' lines and bars, a unit lost
// mid-transfer, and Escape while an update runs. What the worker sends and
// shows in each case is the engine's tests'; here it is the real controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app_test_window.h"
#include "engine/temp_folder.h"
#include "fake_module_path.h"
#include "hid_commands.h"
#include "image_platform.h"
#include "progress_model.h"
#include "sim_hid_bus.h"
#include "update_state.h"
#include "update_texts.h"
#include "update_worker.h"

CORV_updateApp g_theApp;

namespace {

using apptest::MainDialog;

constexpr DWORD kUpdateMs = 60000;  // the sim takes well under a second; wine may be slow to start

// The test's own "database.bin" (or none) behind the worker's file calls,
// served in the tool's folder (the test program's, unless a test moves it):
// tests that run side by side share the real folder.
class DatabaseFile {
public:
    explicit DatabaseFile(const std::vector<unsigned char>* bytes,
                          std::wstring folder = apptest::ProgramFolder())
        : m_saved(ImageCalls()), m_served(folder + kDatabaseFileName)
    {
        if (bytes != nullptr) {
            EXPECT_TRUE(m_folder.Write(*bytes));
            m_file = m_folder.File();
        }
        s_current = this;
        ImageCalls().CreateFileW = &DatabaseFile::Open;
    }
    ~DatabaseFile()
    {
        // A worker that outlived a failed check may still reach for the file.
        apptest::WaitForWorkerEnd(kUpdateMs);
        ImageCalls() = m_saved;
        s_current = nullptr;
    }

    std::vector<std::wstring> OpenedPaths() const { return m_opened; }

private:
    static HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile)
    {
        s_current->m_opened.push_back(path);
        if (path != s_current->m_served)
            return RealImageCalls().CreateFileW(path, access, share, security, disposition, flags, templateFile);
        if (s_current->m_file.empty()) {
            ::SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        return RealImageCalls().CreateFileW(s_current->m_file.c_str(), access, share, security, disposition,
                                            flags, templateFile);
    }

    static DatabaseFile* s_current;
    ImagePlatform m_saved;
    std::wstring m_served;
    TempFolder m_folder;
    std::wstring m_file;
    std::vector<std::wstring> m_opened;  // written by the worker, read once it has ended
};

DatabaseFile* DatabaseFile::s_current = nullptr;

// A "BIN" image of this program, as the worker finds it.
struct Image {
    std::vector<unsigned char> bytes;
    std::uint32_t pages;
};

Image ResourceImage(int id, std::uint32_t granularity)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"BIN");
    if (found == nullptr)
        return {};
    const DWORD size = ::SizeofResource(module, found);
    const auto* data = static_cast<const unsigned char*>(::LockResource(::LoadResource(module, found)));
    const std::uint32_t rounded = (size + granularity - 1) / granularity * granularity;
    return {std::vector<unsigned char>(data, data + size), rounded / 256};
}

int BarLength(std::uint32_t pages)
{
    return static_cast<int>(21 * pages / 10);
}

int BarPos(HWND hDlg, int bar)
{
    return static_cast<int>(::SendMessageW(::GetDlgItem(hDlg, bar), PBM_GETPOS, 0, 0));
}

int BarUpper(HWND hDlg, int bar)
{
    return static_cast<int>(::SendMessageW(::GetDlgItem(hDlg, bar), PBM_GETRANGE, FALSE, 0));
}

std::string Describe(const std::vector<SimCommand>& commands)
{
    std::string text;
    char line[64];
    for (const SimCommand& c : commands) {
        std::snprintf(line, sizeof line, "%04X(%u,%u) ", c.code, c.param1, c.param2);
        text += line;
    }
    return text;
}

class AppUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetUpdateStateForTest();
        m_unit = m_bus.AddDevice();
        m_firmware = ResourceImage(IDR_BIN_FIRMWARE, 2048);
        m_audio = ResourceImage(IDR_BIN_AUDIO, 256);
        m_radar = ResourceImage(IDR_BIN_RADAR, 1024);
    }
    void TearDown() override
    {
        m_bus.ReleaseHold();
        m_bus.SetDeviceDelayMicros(0);
        EXPECT_TRUE(apptest::WaitForWorkerEnd(kUpdateMs));
    }

    // The commands of the three embedded images and the closing ones.
    std::vector<SimCommand> ResourceCommands() const
    {
        return {{CMD_TEST, HID_CMD_KEY, 1},
                {CMD_WRITE_PAGES, 80, m_firmware.pages},
                {CMD_ERASE_SECTORS, 0, 640},
                {CMD_TEST, HID_CMD_KEY, 2},
                {CMD_WRITE_PAGES, 0, m_audio.pages},
                {CMD_RADAR_PASS1, HID_CMD_KEY, HID_CMD_KEY2},
                {CMD_WRITE_PAGES, 0, m_radar.pages},
                {CMD_RADAR_PASS2, HID_CMD_KEY, HID_CMD_KEY2},
                {CMD_WRITE_PAGES, 0, m_radar.pages},
                {CMD_ERASE_SECTORS, 2023, 1},
                {CMD_FINISH, HID_CMD_KEY, HID_CMD_KEY2}};
    }

    void ExpectRegionDone(HWND hDlg, int line, int bar, const wchar_t* text, std::uint32_t pages)
    {
        SCOPED_TRACE(line);
        UI_EXPECT_VISIBLE(hDlg, line);
        UI_EXPECT_VISIBLE(hDlg, bar);
        UI_EXPECT_TEXT(hDlg, line, text);
        EXPECT_EQ(BarLength(pages), BarPos(hDlg, bar));
        EXPECT_EQ(BarLength(pages) & 0xFFFF, BarUpper(hDlg, bar));
    }

    SimHidBus m_bus;
    int m_unit = 0;
    Image m_firmware;
    Image m_audio;
    Image m_radar;
};

// The program's own images, after the largest database file the tool takes
// from its folder. The transfer stands still in each region in turn, until
// timer 1 has shown it: the regions before at their bar lengths, this one at
// the progress value, the ones after untouched.
TEST_F(AppUpdate, CompleteUpdateMovesEachRegionsBarInTurnAndGotovoCloses)
{
    ASSERT_FALSE(m_firmware.bytes.empty());
    ASSERT_FALSE(m_audio.bytes.empty());
    ASSERT_FALSE(m_radar.bytes.empty());
    std::vector<unsigned char> database(0x200000);
    for (std::size_t i = 0; i < database.size(); ++i)
        database[i] = static_cast<unsigned char>(i * 7 + i / 4096);
    const std::uint32_t databasePages = 8192;
    DatabaseFile file(&database);
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);

    const int bars[] = {IDC_PROGRESS_DATABASE, IDC_PROGRESS_FIRMWARE, IDC_PROGRESS_AUDIO, IDC_PROGRESS_RADAR};
    const std::uint32_t pages[] = {databasePages, m_firmware.pages, m_audio.pages, m_radar.pages};
    // A region's data reports follow its commands: erase, test and write;
    // test and write; erase, test and write; the radar command and write.
    std::uint64_t firstData[4] = {4};
    for (int region = 1; region < 4; ++region)
        firstData[region] = firstData[region - 1] + pages[region - 1] * 4 + (region == 2 ? 3 : 2);
    m_bus.HoldBeforeReport(m_unit, firstData[0] + 99);
    const ULONGLONG pressed = ::GetTickCount64();
    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
    for (int region = 0; region < 4; ++region) {
        SCOPED_TRACE(region);
        ASSERT_TRUE(ui::WaitUntil([&] { return m_bus.IsHolding(); }, kUpdateMs));
        std::string shown;
        EXPECT_TRUE(ui::WaitUntil([&] {
            shown.clear();
            bool all = true;
            for (int j = 0; j < 4; ++j) {
                const int expected = j < region ? BarLength(pages[j]) : j == region ? g_nProgress.load() : 0;
                all = all && BarPos(hDlg, bars[j]) == expected;
                shown += std::to_string(BarPos(hDlg, bars[j])) + "/" + std::to_string(expected) + " ";
            }
            return all;
        })) << "bars shown/expected: " << shown;
        if (region == 1) {
            // Enter mid-transfer: the focus stays on the disabled Start, so
            // it presses nothing and the dialog goes on.
            ASSERT_TRUE(dlg.PressEnterOn(IDC_BTN_START));
            if (dlg.WaitClosed(500)) {
                m_bus.ReleaseHold();
                FAIL() << "Enter ended the dialog mid-transfer";
            }
        }
        if (region < 3)
            m_bus.HoldBeforeReport(m_unit, firstData[region + 1] + 99);
        m_bus.ReleaseHold();
    }
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::ControlText(hDlg, IDC_BTN_START) == kDoneButtonText; }, kUpdateMs));
    ASSERT_TRUE(apptest::WaitForWorkerEnd());
    UI_EXPECT_TEXT(hDlg, IDC_STATUS, L"Обновление завершено！");
    UI_EXPECT_ENABLED(hDlg, IDC_BTN_START);
    UI_EXPECT_ENABLED(hDlg, IDC_BTN_CANCEL);
    ASSERT_NE(nullptr, dlg.Object());
    EXPECT_EQ(1, dlg.Object()->m_bUpdateDone);
    EXPECT_EQ(apptest::ProgramFolder() + kDatabaseFileName, dlg.Object()->m_szDatabasePath);
    EXPECT_EQ(std::vector<std::wstring>{apptest::ProgramFolder() + kDatabaseFileName}, file.OpenedPaths());

    // A tick of timer 1 that read the stage just before the worker moved on
    // writes a page value into that region's bar after the worker filled it;
    // the tick that sees the end fills every bar.
    EXPECT_TRUE(ui::WaitUntil([&] {
        return BarPos(hDlg, IDC_PROGRESS_DATABASE) == BarLength(databasePages)
            && BarPos(hDlg, IDC_PROGRESS_FIRMWARE) == BarLength(m_firmware.pages)
            && BarPos(hDlg, IDC_PROGRESS_AUDIO) == BarLength(m_audio.pages)
            && BarPos(hDlg, IDC_PROGRESS_RADAR) == BarLength(m_radar.pages);
    }));
    // The progress timers tick once a second: timers run late, never early.
    const int ticks1 = dlg.Ticks(TIMER_PROGRESS), ticks2 = dlg.Ticks(TIMER_ERASE_PROGRESS);
    const int seconds = static_cast<int>((::GetTickCount64() - pressed) / 1000);
    EXPECT_LE(ticks1, seconds + 1);
    EXPECT_LE(ticks2, seconds + 1);
    ExpectRegionDone(hDlg, IDC_LABEL_DATABASE, IDC_PROGRESS_DATABASE, L"База данных успешно обновлена", databasePages);
    ExpectRegionDone(hDlg, IDC_LABEL_FIRMWARE, IDC_PROGRESS_FIRMWARE, L"Прошивка успешно обновлена", m_firmware.pages);
    ExpectRegionDone(hDlg, IDC_LABEL_AUDIO, IDC_PROGRESS_AUDIO, L"Звуковые сообщения успешно обновлены",
                     m_audio.pages);
    ExpectRegionDone(hDlg, IDC_LABEL_RADAR, IDC_PROGRESS_RADAR, L"Прошивка радарной части успешно обновлена",
                     m_radar.pages);

    std::vector<SimCommand> expected = {{CMD_ERASE_SECTORS, 640, 512}, {CMD_TEST, HID_CMD_KEY, 2},
                                        {CMD_WRITE_PAGES, 10240, databasePages}};
    for (const SimCommand& c : ResourceCommands())
        expected.push_back(c);
    EXPECT_EQ(Describe(expected), Describe(m_bus.Commands(m_unit)));
    EXPECT_TRUE(m_bus.ProtocolViolations().empty());
    EXPECT_EQ(0u, m_bus.PendingDataReports(m_unit));
    EXPECT_EQ(0u, m_bus.OpenHandles());

    // The bytes came from the file and the program's resources; the radar
    // part went last over the start of the voice messages.
    const auto stored = m_bus.Flash(m_unit, 10240, databasePages);
    EXPECT_TRUE(std::equal(database.begin(), database.end(), stored.begin()));
    const auto radar = m_bus.Flash(m_unit, 0, m_radar.pages);
    EXPECT_TRUE(std::equal(m_radar.bytes.begin(), m_radar.bytes.end(), radar.begin()));
    const auto audioTail = m_bus.Flash(m_unit, m_audio.pages - 1, 1);
    EXPECT_TRUE(std::equal(m_audio.bytes.begin() + (m_audio.pages - 1) * 256, m_audio.bytes.end(), audioTail.begin()));

    // "Готово" ends the program.
    const std::size_t commands = m_bus.Commands(m_unit).size();
    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
    ASSERT_TRUE(dlg.WaitClosed());
    EXPECT_EQ(IDCANCEL, dlg.Result());
    EXPECT_EQ(commands, m_bus.Commands(m_unit).size());
}

// One byte over the limit: the worker's own box, OK only and owned by no
// window, and nothing reaches the unit; the window stays as the worker left it.
TEST_F(AppUpdate, DatabaseOverItsLimitIsRefusedInAnOkBoxAndTheWindowStaysOpen)
{
    const std::vector<unsigned char> database(0x200001);
    DatabaseFile file(&database);
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);

    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
    ui::WindowQuery query;
    query.caption = apptest::ProgramName();
    HWND box = ui::WaitForProcessWindow(query, kUpdateMs);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(dlg.ThreadId(), ::GetWindowThreadProcessId(box, nullptr));
    EXPECT_EQ(nullptr, ui::Owner(box));
    EXPECT_EQ(L"data error！", ui::MessageBoxText(box));
    EXPECT_EQ(::LoadIconW(nullptr, IDI_EXCLAMATION), ui::MessageBoxIcon(box));
    EXPECT_EQ(std::vector<int>{IDOK}, ui::MessageBoxButtons(box));

    EXPECT_TRUE(ui::ClickButton(box, IDOK));
    EXPECT_TRUE(apptest::WaitForWorkerEnd());
    UI_EXPECT_TEXT(hDlg, IDC_LABEL_DATABASE, L"Идёт обновление базы данных…");
    UI_EXPECT_DISABLED(hDlg, IDC_BTN_START);
    EXPECT_TRUE(m_bus.Commands(m_unit).empty());
    EXPECT_TRUE(ui::PressEscape(hDlg));
    EXPECT_TRUE(dlg.WaitClosed());
}

// The program somewhere else: its folder and file name of the given
// lengths, and how GetModuleFileNameW cuts a path too long for its buffer.
struct ProgramPathCase {
    const char* name;
    std::size_t folderLength;  // with its trailing backslash
    std::size_t fileNameLength;
    bool terminatesWhenCut;
    bool folderKnown;
    bool databaseSent;
};

void PrintTo(const ProgramPathCase& c, std::ostream* os)
{
    *os << c.name;
}

class AppProgramPath : public AppUpdate, public ::testing::WithParamInterface<ProgramPathCase> {};

// The folder is kept whenever it fits its buffer, however long the whole
// path; the database path must fit as well, or the region is left out.
TEST_P(AppProgramPath, DatabaseBesideTheProgramIsSentWhenItsFolderAndPathFit)
{
    const ProgramPathCase& pathCase = GetParam();
    const std::wstring base = apptest::ProgramFolder();
    ASSERT_LT(base.size() + 1, pathCase.folderLength) << "the test program's own folder is too long";
    const std::wstring folder = base + std::wstring(pathCase.folderLength - base.size() - 1, L'x') + L"\\";
    fake::g_modulePath = folder + std::wstring(pathCase.fileNameLength - 4, L'o') + L".exe";
    fake::g_terminatesWhenCut = pathCase.terminatesWhenCut;
    std::vector<unsigned char> database(1000);
    for (std::size_t i = 0; i < database.size(); ++i)
        database[i] = static_cast<unsigned char>(i * 13);
    DatabaseFile file(&database, folder);
    ImageCalls().GetModuleFileNameW = &fake::ModuleFileName;
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);
    ASSERT_NE(nullptr, dlg.Object());
    EXPECT_EQ(pathCase.folderKnown ? folder : L"", dlg.Object()->m_szModuleDir);

    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::ControlText(hDlg, IDC_BTN_START) == kDoneButtonText; }, kUpdateMs));
    ASSERT_TRUE(apptest::WaitForWorkerEnd());
    std::vector<SimCommand> expected;
    if (pathCase.databaseSent) {
        EXPECT_EQ(std::vector<std::wstring>{folder + kDatabaseFileName}, file.OpenedPaths());
        expected = {{CMD_ERASE_SECTORS, 640, 512}, {CMD_TEST, HID_CMD_KEY, 2}, {CMD_WRITE_PAGES, 10240, 4}};
        const auto stored = m_bus.Flash(m_unit, 10240, 4);
        EXPECT_TRUE(std::equal(database.begin(), database.end(), stored.begin()));
    } else {
        EXPECT_TRUE(file.OpenedPaths().empty());
        UI_EXPECT_HIDDEN(hDlg, IDC_LABEL_DATABASE);
    }
    for (const SimCommand& c : ResourceCommands())
        expected.push_back(c);
    EXPECT_EQ(Describe(expected), Describe(m_bus.Commands(m_unit)));
    EXPECT_TRUE(ui::PressEscape(hDlg));
    EXPECT_TRUE(dlg.WaitClosed());
}

// "ORV_update.exe" has 14 characters; "database.bin" 12.
INSTANTIATE_TEST_SUITE_P(Lengths, AppProgramPath, ::testing::Values(
    ProgramPathCase{"Path255", 241, 14, true, true, true},
    ProgramPathCase{"Path256", 242, 14, true, true, true},
    ProgramPathCase{"Path257", 243, 14, true, true, true},
    ProgramPathCase{"PathOverMaxPathCutWithTerminator", 243, 40, true, true, true},
    ProgramPathCase{"PathOverMaxPathCutWithoutTerminator", 243, 40, false, true, true},
    ProgramPathCase{"Folder244DatabasePathTooLong", 244, 14, true, true, false},
    ProgramPathCase{"Folder255DatabasePathTooLong", 255, 14, true, true, false},
    ProgramPathCase{"Folder256CutWithTerminator", 256, 14, true, false, false},
    ProgramPathCase{"Folder300CutWithoutTerminator", 300, 14, false, false, false}),
    [](const ::testing::TestParamInfo<ProgramPathCase>& info) { return std::string(info.param.name); });

TEST_F(AppUpdate, UnitLostMidTransferShowsTheErrorTipAndThenTheDialogCloses)
{
    DatabaseFile noDatabase(nullptr);
    // Gone during the main program's pages: its test and write commands and
    // a few of its data reports get through.
    m_bus.UnplugAfterReports(m_unit, 40);
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);

    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
    HWND tip = dlg.WaitOwned(L"Dialog", kUpdateMs);
    ASSERT_NE(nullptr, tip);
    UI_EXPECT_VISIBLE(hDlg, IDC_LABEL_FIRMWARE);
    UI_EXPECT_TEXT(hDlg, IDC_LABEL_FIRMWARE, L"Идёт обновление прошивки…");
    UI_EXPECT_HIDDEN(hDlg, IDC_LABEL_AUDIO);
    UI_EXPECT_DISABLED(hDlg, IDC_BTN_START);
    UI_EXPECT_DISABLED(hDlg, IDC_BTN_CANCEL);
    EXPECT_TRUE(UpdateWorkerRunning()) << "the worker waits for the tip";
    // The worker stopped timers 1 and 2 before it raised the tip: no bar moves under it.
    const int ticks = dlg.Ticks(TIMER_PROGRESS) + dlg.Ticks(TIMER_ERASE_PROGRESS);
    ::Sleep(2200);
    EXPECT_EQ(ticks, dlg.Ticks(TIMER_PROGRESS) + dlg.Ticks(TIMER_ERASE_PROGRESS)) << "a progress timer ticked";
    const auto firmwareStart = ResourceCommands();
    EXPECT_EQ(Describe({firmwareStart[0], firmwareStart[1]}), Describe(m_bus.Commands(m_unit)));

    EXPECT_TRUE(ui::ClickButton(tip, IDOK));
    ASSERT_TRUE(dlg.WaitClosed());
    EXPECT_EQ(IDCANCEL, dlg.Result());
    EXPECT_TRUE(apptest::WaitForWorkerEnd());
    EXPECT_EQ(2u, m_bus.Commands(m_unit).size());
    EXPECT_EQ(0u, m_bus.OpenHandles());
}

TEST_F(AppUpdate, EscapeDuringAnUpdateClosesAtOnceAndTheWorkerEndsWithoutTheDialog)
{
    DatabaseFile noDatabase(nullptr);
    m_bus.SetDeviceDelayMicros(5000);
    MainDialog dlg;
    HWND hDlg = dlg.Window();
    ASSERT_NE(nullptr, hDlg);

    ASSERT_TRUE(ui::ClickButton(hDlg, IDC_BTN_START));
    ASSERT_TRUE(ui::WaitUntil([&] { return m_bus.DataReportsTaken(m_unit) > 0; }));
    EXPECT_TRUE(ui::PressEscape(hDlg));
    ASSERT_TRUE(dlg.WaitClosed(5000));
    EXPECT_EQ(IDCANCEL, dlg.Result());
    EXPECT_TRUE(UpdateWorkerRunning());

    // The unit speeds up: the worker runs to its end against the closed window.
    m_bus.SetDeviceDelayMicros(0);
    ASSERT_TRUE(apptest::WaitForWorkerEnd(kUpdateMs));
    EXPECT_TRUE(dlg.StorageUntouchedSinceClose());
    EXPECT_EQ(Describe(ResourceCommands()), Describe(m_bus.Commands(m_unit)));
}

} // namespace

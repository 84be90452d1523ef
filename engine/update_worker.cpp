#include "update_worker.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "hid_commands.h"
#include "hid_write_pages.h"
#include "image_platform.h"
#include "progress_model.h"
#include "resource.h"
#include "update_regions.h"
#include "update_state.h"
#include "update_texts.h"

namespace {

std::atomic<bool> g_workerRunning{false};

// Pad bytes have no meaning to the unit; erased flash reads 0xFF.
constexpr unsigned char kPadByte = 0xFF;

enum class RegionEnd { Written, Skipped, EndedEarly, WriteFailed };

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : m_h(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return m_h; }
    void Close()
    {
        if (m_h != INVALID_HANDLE_VALUE) {
            ImageCalls().CloseHandle(m_h);
            m_h = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE m_h;
};

class Update {
public:
    explicit Update(WorkerWindow& window) : m_window(window) {}
    ~Update()
    {
        // The padded copy dies with the update; leave no pointer to it behind.
        if (m_padded && g_pImage == m_padded.get())
            g_pImage = m_resourceData;
    }
    DWORD Run();

private:
    RegionEnd Database(const UpdateRegion& region);
    RegionEnd Resource(const UpdateRegion& region);
    bool WriteImage(std::uint32_t firstPage, std::uint32_t pages, std::uint64_t rounded);
    void ShowRegion(const UpdateRegion& region);
    void FailedWrite();
    void Finish();

    WorkerWindow& m_window;
    wchar_t m_databasePath[256] = {};
    bool m_databasePathFits = false;
    // Storage of the rounded size for a resource image whose data ends
    // before its last page: the page writer reads whole pages.
    std::unique_ptr<unsigned char[]> m_padded;
    unsigned char* m_resourceData = nullptr;
};

// "%s%s" of the folder and the file name, never cut short: a path that does
// not fit would name another file, so it is left empty and the database
// region is skipped, as for a missing file.
bool FormatDatabasePath(const wchar_t (&dir)[256], wchar_t (&path)[256])
{
    const std::size_t dirLen = wcsnlen(dir, 256);
    const std::size_t nameLen = wcslen(kDatabaseFileName);
    path[0] = L'\0';
    if (dirLen == 0 || dirLen >= 256 || dirLen + nameLen >= 256)
        return false;
    std::wmemcpy(path, dir, dirLen);
    std::wmemcpy(path + dirLen, kDatabaseFileName, nameLen + 1);
    return true;
}

void Update::ShowRegion(const UpdateRegion& region)
{
    m_window.ShowControl(region.statusLine);
    m_window.ShowControl(region.bar);
    m_window.SetControlText(region.statusLine, region.progressText);
}

bool Update::WriteImage(std::uint32_t firstPage, std::uint32_t pages, std::uint64_t rounded)
{
    return HidWritePages(firstPage, pages) == rounded;
}

RegionEnd Update::Database(const UpdateRegion& region)
{
    if (!m_databasePathFits)
        return RegionEnd::Skipped;
    FileHandle file(ImageCalls().CreateFileW(m_databasePath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return RegionEnd::Skipped;

    ShowRegion(region);
    // A file of 4 GiB or more is over the limit, not its size modulo 4 GiB.
    DWORD high = 0;
    const DWORD size = ImageCalls().GetFileSize(file.get(), &high);
    const std::uint64_t rounded = RoundedImageSize(size, region.granularity);
    if (high != 0 || rounded > region.limit) {
        file.Close();
        m_window.ShowMessage(region.limitMessage);
        return RegionEnd::EndedEarly;
    }

    unsigned char* buffer = g_pImage;
    DWORD read = 0;
    ImageCalls().ReadFile(file.get(), buffer, size, &read, nullptr);
    g_dwDatabaseBytesRead = read;
    file.Close();
    if (read != size)
        return RegionEnd::EndedEarly;
    std::memset(buffer + size, kPadByte, static_cast<std::size_t>(rounded - size));

    const auto pages = static_cast<std::int32_t>(rounded / kPageSize);
    g_nDatabasePages = pages;
    m_window.SetBarRange(region.bar, BarRangeUpper(pages));

    HidEraseSectors(640, 512);
    g_nStage = STAGE_DATABASE;
    g_nPhase = PHASE_DATABASE_PREP;
    HidSendTestCommand(2);
    if (!WriteImage(10240, static_cast<std::uint32_t>(pages), rounded))
        return RegionEnd::WriteFailed;

    m_window.SetBarPos(region.bar, BarLength(g_nDatabasePages));
    m_window.SetControlText(region.statusLine, region.successText);
    return RegionEnd::Written;
}

RegionEnd Update::Resource(const UpdateRegion& region)
{
    const ImagePlatform& calls = ImageCalls();
    const HMODULE module = calls.ResourceModule();
    const HRSRC found = calls.FindResourceW(module, MAKEINTRESOURCEW(region.resourceId), L"BIN");
    if (found == nullptr)
        return RegionEnd::Skipped;

    ShowRegion(region);
    const DWORD size = calls.SizeofResource(module, found);
    const HGLOBAL loaded = calls.LoadResource(module, found);
    auto* data = static_cast<unsigned char*>(loaded ? calls.LockResource(loaded) : nullptr);
    g_pImage = data;
    m_resourceData = data;
    if (data == nullptr)
        return RegionEnd::EndedEarly;

    const std::uint64_t rounded = RoundedImageSize(size, region.granularity);
    const std::uint64_t limit = region.limit ? region.limit : 0xFFFFFFFFull;
    if (rounded > limit) {
        if (region.limitMessage)
            m_window.ShowMessage(region.limitMessage);
        return RegionEnd::EndedEarly;
    }
    if (rounded != size) {
        m_padded.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(rounded)]);
        if (!m_padded)
            return RegionEnd::EndedEarly;
        std::memcpy(m_padded.get(), data, size);
        std::memset(m_padded.get() + size, kPadByte, static_cast<std::size_t>(rounded - size));
        g_pImage = m_padded.get();
    }
    const auto pages = static_cast<std::int32_t>(rounded / kPageSize);

    switch (region.kind) {
    case RegionKind::Firmware:
        g_nStage = STAGE_FIRMWARE;
        g_nFirmwarePages = pages;
        g_nPhase = PHASE_FIRMWARE_PREP;
        g_nProgress = 1;
        m_window.SetBarRange(region.bar, BarRangeUpper(pages));
        HidSendTestCommand(1);
        if (!WriteImage(80, pages, rounded))
            return RegionEnd::WriteFailed;
        break;
    case RegionKind::Audio:
        g_nStage = STAGE_AUDIO;
        g_nAudioPages = pages;
        g_nPhase = PHASE_AUDIO_PREP;
        g_nProgress = 1;
        m_window.SetBarRange(region.bar, BarRangeUpper(pages));
        HidEraseSectors(0, 640);
        HidSendTestCommand(2);
        if (!WriteImage(0, pages, rounded))
            return RegionEnd::WriteFailed;
        break;
    case RegionKind::Radar:
        g_nPhase = PHASE_RADAR_PREP;
        g_nStage = STAGE_RADAR_PASS1;
        g_nProgress = 1;
        g_nRadarPages = pages;
        m_window.SetBarRange(region.bar, BarRangeUpper(pages));
        HidSendRadarPass1Command();
        if (!WriteImage(0, pages, rounded))
            return RegionEnd::WriteFailed;
        g_nStage = STAGE_RADAR_PASS2;
        HidSendRadarPass2Command();
        if (!WriteImage(0, pages, rounded))
            return RegionEnd::WriteFailed;
        break;
    case RegionKind::Database:
        return RegionEnd::Skipped;
    }

    m_window.SetControlText(region.statusLine, region.successText);
    const std::atomic<std::int32_t>& count = region.kind == RegionKind::Firmware ? g_nFirmwarePages
                                           : region.kind == RegionKind::Audio    ? g_nAudioPages
                                                                                 : g_nRadarPages;
    m_window.SetBarPos(region.bar, BarLength(count));
    return RegionEnd::Written;
}

void Update::FailedWrite()
{
    m_window.StopTimer(TIMER_PROGRESS);
    m_window.StopTimer(TIMER_ERASE_PROGRESS);
    m_window.ReportFailedWrite();
    m_window.CloseDialog();
}

void Update::Finish()
{
    HidEraseSectors(2023, 1);
    g_nStage = STAGE_FINISHED;
    HidSendFinishCommand();
    m_window.EnableControl(IDC_BTN_START, TRUE);
    m_window.EnableControl(IDC_BTN_CANCEL, TRUE);
    m_window.SetControlText(IDC_BTN_START, kDoneButtonText);
    m_window.SetControlText(IDC_STATUS, kUpdateCompleteText);
    m_window.SetUpdateDone();
}

DWORD Update::Run()
{
    m_window.EnableControl(IDC_BTN_START, FALSE);
    m_window.EnableControl(IDC_BTN_CANCEL, FALSE);
    m_window.SetControlText(IDC_STATUS, kNoticeText);
    wchar_t dir[256] = {};
    m_window.ReadModuleDir(dir);
    m_databasePathFits = FormatDatabasePath(dir, m_databasePath);
    m_window.StoreDatabasePath(m_databasePath);
    // Without the transfer buffer (its allocation failed when the window
    // opened) the folder is unknown too: stop before anything is sent.
    if (g_pImage == nullptr)
        return 0;

    for (const UpdateRegion& region : kUpdateRegions) {
        const RegionEnd end = region.kind == RegionKind::Database ? Database(region) : Resource(region);
        if (end == RegionEnd::EndedEarly)
            return 0;
        if (end == RegionEnd::WriteFailed) {
            FailedWrite();
            return 0;
        }
    }
    Finish();
    return 1;
}

} // namespace

DWORD RunUpdate(WorkerWindow& window)
{
    Update update(window);
    return update.Run();
}

DWORD WINAPI UpdateThreadProc(LPVOID param)
{
    std::unique_ptr<WorkerWindow> window(static_cast<WorkerWindow*>(param));
    DWORD result = 0;
    try {
        if (window)
            result = RunUpdate(*window);
    } catch (...) {
        result = 0;
    }
    ReleaseUpdateWorker();
    return result;
}

bool UpdateWorkerRunning()
{
    return g_workerRunning;
}

bool ClaimUpdateWorker()
{
    bool expected = false;
    return g_workerRunning.compare_exchange_strong(expected, true);
}

void ReleaseUpdateWorker()
{
    g_workerRunning = false;
}

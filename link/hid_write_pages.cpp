#include "hid_write_pages.h"

#include <cstdio>
#include <cstring>

#include "hid_commands.h"
#include "hid_platform.h"
#include "update_state.h"

namespace {

constexpr std::uint32_t kPageBytes = 256;
constexpr std::uint32_t kDataBytesPerReport = HID_REPORT_SIZE - 1;

// Where the progress value of the current stage starts; false for a stage
// that has no bar to move.
bool ProgressBase(std::int32_t stage, std::int32_t* base)
{
    switch (stage) {
    case STAGE_DATABASE: *base = g_nDatabasePages.load(); return true;
    case STAGE_FIRMWARE: *base = g_nFirmwarePages.load(); return true;
    case STAGE_AUDIO: *base = g_nAudioPages.load(); return true;
    case STAGE_RADAR_PASS1: *base = 0; return true;
    case STAGE_RADAR_PASS2: *base = g_nRadarPages.load(); return true;
    default: return false;
    }
}

} // namespace

std::uint32_t HidWritePages(std::uint32_t firstPage, std::uint32_t pageCount)
{
    HidPlatform& platform = HidGetPlatform();
    const unsigned char* image = g_pImage.load();
    CHidCmd cmd;

    std::uint16_t productId = 0;
    if (!HidSelectedProductId(&productId) || !cmd.m_hid.OpenDevice(productId)) {
        platform.OutputDebugStringW(L"Can't Open HID Device\n");
        return 0;
    }

    HidTraceOpenSuccess(productId);
    char line[64];
    std::snprintf(line, sizeof line, ">>> Write pages: %d - %d\n", static_cast<int>(firstPage),
                  static_cast<int>(firstPage + pageCount - 1));
    platform.StdOutLine(line);

    HidBuildCommandReport(cmd.m_report, CMD_WRITE_PAGES, firstPage, pageCount);
    if (!cmd.m_hid.WriteReport(cmd.m_report, nullptr)) {
        platform.StdOutLine("ERROR: Send read command error!\n");
        cmd.m_hid.CloseDevice();
        return 0;
    }
    platform.OutputDebugStringW(L"Write\n");

    const std::uint32_t total = pageCount * kPageBytes;
    std::uint32_t offset = 0;
    while (offset < total) {
        // Offsets only ever move by whole reports, so every report lies inside the total.
        DWORD moved = 0;
        bool written = image != nullptr;
        if (written) {
            cmd.m_report[0] = 0;
            std::memcpy(cmd.m_report + 1, image + offset, kDataBytesPerReport);
            written = cmd.m_hid.WriteReport(cmd.m_report, &moved) != 0;
        }
        if (!written) {
            platform.StdOutLine("ERROR: Write fail!\n");
            break;
        }

        g_nPhase.store(PHASE_DATA);
        std::int32_t base = 0;
        if (ProgressBase(g_nStage.load(), &base))
            g_nProgress.store(static_cast<std::int32_t>(offset >> 8) + base);

        // A short count means the unit did not take the whole report: count
        // the image bytes it reports and end the transfer there, so the
        // result tells the worker the region is incomplete.
        if (moved != HID_REPORT_SIZE) {
            if (moved > 1 && moved < HID_REPORT_SIZE)
                offset += moved - 1;
            platform.StdOutLine("ERROR: Write fail!\n");
            break;
        }
        offset += kDataBytesPerReport;
    }

    cmd.m_hid.CloseDevice();
    return offset;
}

#include "progress_model.h"

#include "hid_io.h"
#include "resource.h"
#include "update_state.h"
#include "update_texts.h"

std::int32_t BarLength(std::int32_t pages)
{
    return static_cast<std::int32_t>(static_cast<double>(pages) * 2.1);
}

WORD BarRangeUpper(std::int32_t pages)
{
    return static_cast<WORD>(BarLength(pages) & 0xFFFF);
}

namespace {

void ShowProgress(ProgressView& view)
{
    const std::int32_t stage = g_nStage;
    auto full = [&](int bar, const std::atomic<std::int32_t>& pages) { view.SetBarPos(bar, BarLength(pages)); };
    auto current = [&](int bar) { view.SetBarPos(bar, g_nProgress); };

    switch (stage) {
    case STAGE_DATABASE:
        current(IDC_PROGRESS_DATABASE);
        break;
    case STAGE_FIRMWARE:
        full(IDC_PROGRESS_DATABASE, g_nDatabasePages);
        current(IDC_PROGRESS_FIRMWARE);
        break;
    case STAGE_AUDIO:
        full(IDC_PROGRESS_DATABASE, g_nDatabasePages);
        full(IDC_PROGRESS_FIRMWARE, g_nFirmwarePages);
        current(IDC_PROGRESS_AUDIO);
        break;
    case STAGE_RADAR_PASS1:
    case STAGE_RADAR_PASS2:
        full(IDC_PROGRESS_DATABASE, g_nDatabasePages);
        full(IDC_PROGRESS_FIRMWARE, g_nFirmwarePages);
        full(IDC_PROGRESS_AUDIO, g_nAudioPages);
        current(IDC_PROGRESS_RADAR);
        break;
    case STAGE_FINISHED:
        full(IDC_PROGRESS_DATABASE, g_nDatabasePages);
        full(IDC_PROGRESS_FIRMWARE, g_nFirmwarePages);
        full(IDC_PROGRESS_AUDIO, g_nAudioPages);
        full(IDC_PROGRESS_RADAR, g_nRadarPages);
        view.KillTimer(TIMER_PROGRESS);
        view.KillTimer(TIMER_ERASE_PROGRESS);
        break;
    default:
        break;
    }
}

// While a region's commands are under way no data report moves the bar, so
// the value creeps up to just past the page count (plus ten) on its own.
void AdvancePreparation()
{
    std::int32_t pages;
    std::int32_t divisor;
    switch (g_nPhase) {
    case PHASE_DATABASE_PREP: pages = g_nDatabasePages; divisor = 60; break;
    case PHASE_FIRMWARE_PREP: pages = g_nFirmwarePages; divisor = 10; break;
    case PHASE_AUDIO_PREP: pages = g_nAudioPages; divisor = 60; break;
    default: return;
    }
    const std::int32_t progress = g_nProgress;
    if (static_cast<std::int64_t>(progress) > static_cast<std::int64_t>(pages) + 10)
        return;
    g_nProgress = progress + pages / divisor;
}

void ProbeForDevice(ProgressView& view)
{
    for (int index = 1; index <= 3; ++index) {
        if (HidIsDevicePresent(index)) {
            view.SetDeviceStateText(kDeviceReadyText);
            view.KillTimer(TIMER_DEVICE_PROBE);
            return;
        }
    }
}

} // namespace

void ProgressTimerTick(UINT_PTR timerId, ProgressView& view)
{
    switch (timerId) {
    case TIMER_PROGRESS: ShowProgress(view); break;
    case TIMER_ERASE_PROGRESS: AdvancePreparation(); break;
    case TIMER_DEVICE_PROBE: ProbeForDevice(view); break;
    default: break;
    }
}

#include "update_state.h"

static_assert(std::atomic<std::int32_t>::is_always_lock_free, "state words must be lock-free");
static_assert(std::atomic<unsigned char*>::is_always_lock_free, "state words must be lock-free");

const std::uint16_t g_productIds[4] = {0x0000, 0x5780, 0x03B4, 0x005A};

std::atomic<std::int32_t> g_deviceIndex{0};
std::atomic<unsigned char*> g_pImage{nullptr};
std::atomic<std::uint32_t> g_dwDatabaseBytesRead{0};
std::atomic<std::int32_t> g_nDatabasePages{0};
std::atomic<std::int32_t> g_nFirmwarePages{0};
std::atomic<std::int32_t> g_nAudioPages{0};
std::atomic<std::int32_t> g_nRadarPages{0};
std::atomic<std::int32_t> g_nStage{0};
std::atomic<std::int32_t> g_nPhase{0};
std::atomic<std::int32_t> g_nProgress{1};

void ResetUpdateStateForTest()
{
    g_deviceIndex = 0;
    g_pImage = nullptr;
    g_dwDatabaseBytesRead = 0;
    g_nDatabasePages = 0;
    g_nFirmwarePages = 0;
    g_nAudioPages = 0;
    g_nRadarPages = 0;
    g_nStage = 0;
    g_nPhase = 0;
    g_nProgress = 1;
}

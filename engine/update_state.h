#pragma once
// The words that the link, the update worker, the Start command and the
// window's timers share. Each is one atomic word read and written without
// locks; a thread's stores become visible to the other in program order.
#include <atomic>
#include <cstdint>

// Product ids under which the unit's bootloader may present itself (vendor
// 0x0483). Entry 0 stands for "no unit"; only entry 1 starts an update.
extern const std::uint16_t g_productIds[4];

extern std::atomic<std::int32_t> g_deviceIndex;           // found index into g_productIds
extern std::atomic<unsigned char*> g_pImage;              // bytes the page writer sends
extern std::atomic<std::uint32_t> g_dwDatabaseBytesRead;  // count delivered by the database read
extern std::atomic<std::int32_t> g_nDatabasePages;
extern std::atomic<std::int32_t> g_nFirmwarePages;
extern std::atomic<std::int32_t> g_nAudioPages;
extern std::atomic<std::int32_t> g_nRadarPages;
extern std::atomic<std::int32_t> g_nStage;     // 0 none yet, 1..5 region, 6 finished
extern std::atomic<std::int32_t> g_nPhase;     // 1, 2, 3, 5 preparing; 8 data flowing
extern std::atomic<std::int32_t> g_nProgress;  // position of the current region's bar

// Stage codes.
enum : std::int32_t {
    STAGE_NONE = 0,
    STAGE_DATABASE = 1,
    STAGE_FIRMWARE = 2,
    STAGE_AUDIO = 3,
    STAGE_RADAR_PASS1 = 4,
    STAGE_RADAR_PASS2 = 5,
    STAGE_FINISHED = 6,
};

// Phase codes: a region being prepared, or its data reports flowing.
enum : std::int32_t {
    PHASE_NONE = 0,
    PHASE_DATABASE_PREP = 1,
    PHASE_FIRMWARE_PREP = 2,
    PHASE_AUDIO_PREP = 3,
    PHASE_RADAR_PREP = 5,
    PHASE_DATA = 8,
};

// Tests put every word back to its value at process start.
void ResetUpdateStateForTest();

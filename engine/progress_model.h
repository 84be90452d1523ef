#pragma once
// Turns the update state into bar positions once a second, moves a bar while
// its region is being prepared, and polls for the unit until one is present.
#include <windows.h>

#include <cstdint>

enum : UINT_PTR {
    TIMER_PROGRESS = 1,        // copies the update state into the bars
    TIMER_ERASE_PROGRESS = 2,  // advances the progress value while a region is prepared
    TIMER_DEVICE_PROBE = 3,    // looks for the unit until one is present
};
constexpr UINT kTimerPeriodMs = 1000;

// A region of `pages` pages fills a bar of pages x 2.1 units, truncated.
std::int32_t BarLength(std::int32_t pages);
// The progress bar's range message carries 16 bits: longer bars are cut.
WORD BarRangeUpper(std::int32_t pages);

// What a timer tick needs of the main window.
class ProgressView {
public:
    virtual void SetBarPos(int barId, int pos) = 0;
    virtual void KillTimer(UINT_PTR timerId) = 0;
    virtual void SetDeviceStateText(const wchar_t* text) = 0;

protected:
    ~ProgressView() = default;
};

// The work of one tick of timer `timerId`; unknown ids do nothing. The
// caller passes the message on to the default handling afterwards.
void ProgressTimerTick(UINT_PTR timerId, ProgressView& view);

#pragma once
// The four regions of an update, in the order they are written.
#include <cstdint>

enum class RegionKind { Database, Firmware, Audio, Radar };

struct UpdateRegion {
    RegionKind kind;
    int resourceId;               // "BIN" resource; 0 for the database file
    int statusLine;
    int bar;
    const wchar_t* progressText;
    const wchar_t* successText;
    std::uint32_t granularity;    // the rounded size is a multiple of this
    std::uint32_t limit;          // largest rounded size accepted; 0: none
    const wchar_t* limitMessage;
};

extern const UpdateRegion kUpdateRegions[4];

constexpr std::uint32_t kPageSize = 256;

// Rounds `size` up to the granularity (a power of two). Sizes within one
// granule of 4 GiB do not fit 32 bits and come back above every limit.
std::uint64_t RoundedImageSize(std::uint32_t size, std::uint32_t granularity);

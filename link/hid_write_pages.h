#pragma once
#include <cstdint>

// Sends the write-pages command for pageCount pages from firstPage, then
// pageCount x 256 bytes of the image at g_pImage, 64 in each data report,
// keeping g_nPhase and g_nProgress current. Returns the image bytes sent.
std::uint32_t HidWritePages(std::uint32_t firstPage, std::uint32_t pageCount);

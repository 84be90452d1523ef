#pragma once
// The 4 MiB buffer the database file is read into. It lives as long as the
// process. Tests replace the allocator to see the window without it.
#include <cstddef>

constexpr std::size_t kTransferBufferSize = 0x400000;

unsigned char* AllocateTransferBuffer();
using TransferBufferAllocator = unsigned char* (*)(std::size_t size);
TransferBufferAllocator SetTransferBufferAllocator(TransferBufferAllocator allocator);

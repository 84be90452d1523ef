#include "transfer_buffer.h"

#include <new>

namespace {

unsigned char* HeapAllocator(std::size_t size)
{
    return new (std::nothrow) unsigned char[size];
}

TransferBufferAllocator g_allocator = HeapAllocator;

} // namespace

unsigned char* AllocateTransferBuffer()
{
    return g_allocator(kTransferBufferSize);
}

TransferBufferAllocator SetTransferBufferAllocator(TransferBufferAllocator allocator)
{
    TransferBufferAllocator previous = g_allocator;
    g_allocator = allocator ? allocator : HeapAllocator;
    return previous;
}

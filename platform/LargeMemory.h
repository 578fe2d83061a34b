#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

// Memory for large blocks, mapped on its own on Linux.

// Zero-filled memory for the codec's large tables. A table of a few
// megabytes or more is marked for huge pages, so that touching it for the
// first time faults it in 2 MiB at a time instead of 4 KiB: the dictionaries
// grow to tens of megabytes, and the faults cost more than the work done in
// them. Under AddressSanitizer it comes from the heap.
void* AllocateZeroed(std::size_t bytes);

// Frees what AllocateZeroed(bytes) returned; null does nothing.
void FreeZeroed(void* p, std::size_t bytes);

// Makes p, which AllocateZeroed(oldBytes) returned (or null, with oldBytes
// 0), a block of newBytes that keeps its first oldBytes and is zero beyond
// them, as AllocateZeroed(newBytes) would have given it. Returns the block,
// which may have moved, or null, leaving p as it was, when there is no
// memory. For tables that grow a step at a time and are filled in order: on
// huge pages their first touches fault in 2 MiB at a time, where realloc's
// memory faults in every 4 KiB.
void* ResizeZeroed(void* p, std::size_t oldBytes, std::size_t newBytes);

// Memory that is written whole straight away, such as a large entry's packed
// data read from a file: every page is faulted in by the one call that maps
// it. Null when there is no memory. Under AddressSanitizer it comes from the
// heap, where accesses past its end are seen.
void* AllocatePopulated(std::size_t bytes);

// Frees what AllocatePopulated(bytes) returned.
void FreePopulated(void* p, std::size_t bytes);

// For a process that works through entries one after another and then
// ends: heap blocks it frees are kept for the next entry instead of being
// handed back to the system, which would have every page of the next
// entry's tables and content faulted in and zeroed afresh. Blocks below 32
// MiB come from the heap, and up to 64 MiB freed at its top is kept.
void KeepFreedHeapMemory();

// Memory for a buffer that is written before it is read, such as an entry's
// unpacked content: from the size AllocateZeroed maps on its own it comes
// from there, faulting in 2 MiB at a time; below, from malloc, uninitialised.
// Null when there is no memory. Freed with FreeZeroed(p, bytes).
void* AllocateBuffer(std::size_t bytes);

// A vector's allocator for such buffers. Growing the vector leaves the new
// elements uninitialised (default-initialised), as they are written straight
// after.
template <typename T>
struct BufferAllocator {
    using value_type = T;

    BufferAllocator() = default;
    template <typename U>
    BufferAllocator(const BufferAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        void* p = n > SIZE_MAX / sizeof(T) ? nullptr : AllocateBuffer(n * sizeof(T));
        if (p == nullptr)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeZeroed(p, n * sizeof(T)); }

    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    friend bool operator==(const BufferAllocator&, const BufferAllocator<U>&) noexcept {
        return true;
    }
};

// Bytes of unpacked content and the like.
using ByteBuffer = std::vector<std::uint8_t, BufferAllocator<std::uint8_t>>;

#pragma once

#include <cstddef>

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

#pragma once

#include <cstddef>

// Zero-filled memory for the codec's large tables. On Linux a table of a few
// megabytes or more is mapped on its own and marked for huge pages, so that
// touching it for the first time faults it in 2 MiB at a time instead of
// 4 KiB: the dictionaries grow to tens of megabytes, and the faults cost more
// than the work done in them.
void* AllocateZeroed(std::size_t bytes);

// Frees what AllocateZeroed(bytes) returned; null does nothing.
void FreeZeroed(void* p, std::size_t bytes);

#pragma once

#include <cstdint>
#include <cstdlib>

// Enlarges a malloc'ed table to count entries of T, keeping its contents.
// Returns false, leaving the table as it was, when the size does not fit
// size_t or realloc fails. T must be trivially copyable.
template <typename T>
bool ResizeTable(T*& table, std::uint64_t count) {
    if (count > SIZE_MAX / sizeof(T))
        return false;
    void* p = std::realloc(table, static_cast<std::size_t>(count) * sizeof(T));
    if (p == nullptr)
        return false;
    table = static_cast<T*>(p);
    return true;
}

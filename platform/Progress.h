#pragma once

#include <cstdint>
#include <functional>

// Told how far long work has gone (done of total bytes); returning false
// cancels it.
using ProgressFn = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Bytes between two progress reports.
inline constexpr std::uint64_t PROGRESS_STEP = std::uint64_t{1} << 20;

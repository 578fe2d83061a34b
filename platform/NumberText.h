#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// An unsigned 32-bit decimal number as a user types it, in a dialog's field
// or on the command line: ASCII digits only (no sign), any number of leading
// zeros, at most 4294967295, with spaces, tabs and line breaks allowed
// before and after. Anything else, an empty text included, gives nullopt.
inline std::optional<std::uint32_t> ParseUnsigned32(std::string_view text) {
    // The C locale's white space, so that no locale changes what is accepted.
    constexpr std::string_view SPACES = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(SPACES);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(SPACES) + 1 - first);
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

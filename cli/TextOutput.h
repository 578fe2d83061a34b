#pragma once

#include "archive/FileEntry.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Latin-1 text (one byte per character, as names are stored) as UTF-8.
std::string Latin1ToUtf8(const std::string& text);

// UTF-8 text as Latin-1; none when it is not UTF-8 or holds a character
// beyond U+00FF.
std::optional<std::string> Utf8ToLatin1(const std::string& text);

// For a terminal: Latin-1 as UTF-8, with control characters (0x00-0x1F,
// 0x7F-0x9F) shown as \xHH so that a name cannot move the cursor, break a
// line or start an escape sequence.
std::string PrintableName(const std::string& text);

// Characters in UTF-8 text.
std::size_t DisplayWidth(const std::string& utf8);

// Writes text to stdout as it stands.
void WriteOut(const std::string& text);

// Prints rows as columns two spaces apart, each as wide as its widest cell;
// a column whose flag in rightAligned is set is aligned right. Widths count
// characters, not bytes. The lines are written in blocks: a table of many
// thousand rows prints at the speed of the terminal or pipe.
template <std::size_t N>
void PrintColumns(const std::vector<std::array<std::string, N>>& rows,
                  const std::array<bool, N>& rightAligned) {
    std::array<std::size_t, N> widths{};
    for (const auto& row : rows)
        for (std::size_t i = 0; i < N; ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < N; ++i) {
            const std::size_t pad = widths[i] - DisplayWidth(row[i]);
            if (i > 0)
                out += "  ";
            if (rightAligned[i])
                out.append(pad, ' ');
            out += row[i];
            if (!rightAligned[i] && i + 1 < N)
                out.append(pad, ' ');
        }
        out += '\n';
        if (out.size() >= 1 << 16) {
            WriteOut(out);
            out.clear();
        }
    }
    WriteOut(out);
}

// The 16 name bytes as 32 lowercase hex digits, as `list --json` and the
// manifest give them.
std::string NameHex(const EntryName& name);

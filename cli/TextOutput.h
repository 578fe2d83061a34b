#pragma once

#include <optional>
#include <string>
#include <vector>

// Latin-1 text (one byte per character, as names are stored) as UTF-8.
std::string Latin1ToUtf8(const std::string& text);

// UTF-8 text as Latin-1; none when it is not UTF-8 or holds a character
// beyond U+00FF.
std::optional<std::string> Utf8ToLatin1(const std::string& text);

// For a terminal: Latin-1 as UTF-8, with control characters shown as \xHH
// so that a name cannot move the cursor or break a line.
std::string PrintableName(const std::string& text);

// Prints rows as columns two spaces apart, each as wide as its widest cell;
// a column whose flag in rightAligned is set is aligned right. Widths count
// characters, not bytes.
void PrintColumns(const std::vector<std::vector<std::string>>& rows,
                  const std::vector<bool>& rightAligned);

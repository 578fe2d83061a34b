#include "cli/TextOutput.h"

#include <algorithm>
#include <cstdio>

std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> Utf8ToLatin1(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            continue;
        }
        // Two-byte sequences C2 80 to C3 BF are exactly U+0080 to U+00FF.
        if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size())
            return std::nullopt;
        const auto next = static_cast<unsigned char>(text[++i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        out += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
    }
    return out;
}

std::string PrintableName(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // C1 controls too: 0x9B alone opens an escape sequence on many
        // terminals.
        if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            escaped += hex;
        } else {
            escaped += c;
        }
    }
    return Latin1ToUtf8(escaped);
}

std::size_t DisplayWidth(const std::string& utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void WriteOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string NameHex(const EntryName& name) {
    static constexpr char HEX_DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : name) {
        hex += HEX_DIGITS[byte >> 4];
        hex += HEX_DIGITS[byte & 0xF];
    }
    return hex;
}

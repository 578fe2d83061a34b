#include "cli/Manifest.h"

#include "archive/EntryText.h"
#include "cli/TextOutput.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <utility>

namespace {

using Json = nlohmann::json;

constexpr std::int64_t INT32_LOW = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t INT32_HIGH = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t UINT32_HIGH = std::numeric_limits<std::uint32_t>::max();

const char* const ENTRY_KEYS[] = {"type", "id",        "name",   "nameBytes",
                                  "file", "duplicate", "notWave"};

std::optional<EntryName> FromHex(const std::string& hex) {
    const auto digit = [](char c) {
        const std::string_view digits = "0123456789abcdef";
        const auto at = digits.find(static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c));
        return at == std::string_view::npos ? -1 : static_cast<int>(at);
    };
    if (hex.size() != 2 * ENTRY_NAME_SIZE)
        return std::nullopt;
    EntryName name{};
    for (std::size_t i = 0; i < ENTRY_NAME_SIZE; ++i) {
        const int high = digit(hex[2 * i]), low = digit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        name[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return name;
}

// Text from the manifest for a message: control characters cannot reach the
// terminal.
std::string Shown(const std::string& text) {
    std::string shown = text;
    std::replace_if(
        shown.begin(), shown.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    return "\"" + shown + "\"";
}

std::optional<std::int64_t> Integer(const Json& value, std::int64_t low, std::int64_t high) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        return number <= static_cast<std::uint64_t>(high) ? std::optional<std::int64_t>(number)
                                                          : std::nullopt;
    }
    if (!value.is_number_integer())
        return std::nullopt;
    const auto number = value.get<std::int64_t>();
    return number >= low && number <= high ? std::optional(number) : std::nullopt;
}

// A relative path that stays inside the folder, so that a manifest from
// elsewhere cannot pull another file of the user's into the archive.
bool IsInsideFolder(const std::string& file) {
    const std::filesystem::path path(file);
    if (file.empty() || path.has_root_path())
        return false;
    return std::none_of(path.begin(), path.end(), [](const auto& part) { return part == ".."; });
}

// Where the parser stopped, as "line L, column C" (columns count characters);
// byte is the parser's count of bytes read, the last of them the culprit.
std::string Position(const std::string& text, std::size_t byte) {
    const auto at = static_cast<std::ptrdiff_t>(std::min(byte > 0 ? byte - 1 : 0, text.size()));
    const auto end = text.begin() + at;
    const auto lineStart = std::find(std::make_reverse_iterator(end), text.rend(), '\n').base();
    const auto line = 1 + std::count(text.begin(), end, '\n');
    const auto column =
        1 + std::count_if(lineStart, end, [](char c) { return (c & 0xC0) != 0x80; });
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string NotJson(const std::string& text, const Json::parse_error& error) {
    const std::string what = error.what();
    const std::size_t reason = what.find("syntax error");
    return "it is not valid JSON at " + Position(text, error.byte) +
           (reason == std::string::npos ? "" : ": " + what.substr(reason));
}

std::string ParseName(const Json& json, ManifestEntry& entry) {
    std::optional<EntryName> fromText;
    if (json.contains("name")) {
        const auto latin1 =
            json["name"].is_string() ? Utf8ToLatin1(json["name"].get<std::string>()) : std::nullopt;
        if (!latin1 || latin1->size() > ENTRY_NAME_SIZE)
            return "\"name\" must be text of at most 16 Latin-1 characters";
        fromText = MakeEntryName(*latin1);
    }
    if (!json.contains("nameBytes")) {
        entry.name = *fromText;
        return {};
    }
    const auto bytes = json["nameBytes"].is_string() ? FromHex(json["nameBytes"].get<std::string>())
                                                     : std::nullopt;
    if (!bytes)
        return "\"nameBytes\" must be 32 hexadecimal digits";
    entry.name = *bytes;
    entry.bNameOverridden = fromText && EntryDisplayName(*bytes) != EntryDisplayName(*fromText);
    return {};
}

std::string ParseFlag(const Json& json, const char* key, bool& flag) {
    if (!json.contains(key))
        return {};
    if (!json[key].is_boolean())
        return "\"" + std::string(key) + "\" must be true or false";
    flag = json[key].get<bool>();
    return {};
}

std::string ParseEntry(const Json& json, ManifestEntry& entry) {
    if (!json.is_object())
        return "it is not an object";
    for (const auto& item : json.items())
        if (std::find(std::begin(ENTRY_KEYS), std::end(ENTRY_KEYS), item.key()) ==
            std::end(ENTRY_KEYS))
            return "it has an unknown key " + Shown(item.key());
    for (const char* key : {"type", "id", "file"})
        if (!json.contains(key))
            return "it has no \"" + std::string(key) + "\"";
    if (!json.contains("name") && !json.contains("nameBytes"))
        return "it has no \"name\"";
    const auto type = Integer(json["type"], INT32_LOW, INT32_HIGH);
    if (!type)
        return "\"type\" must be a whole number from -2147483648 to 2147483647";
    const auto id = Integer(json["id"], INT32_LOW, UINT32_HIGH);
    if (!id)
        return "\"id\" must be a whole number from -2147483648 to 4294967295";
    entry.type = static_cast<std::int32_t>(*type);
    entry.id = static_cast<std::int32_t>(static_cast<std::uint32_t>(*id));
    if (!json["file"].is_string() || !IsInsideFolder(json["file"].get<std::string>()))
        return "\"file\" must be a path inside the folder";
    entry.file = json["file"].get<std::string>();
    std::string problem = ParseName(json, entry);
    if (problem.empty())
        problem = ParseFlag(json, "duplicate", entry.bDuplicate);
    if (problem.empty())
        problem = ParseFlag(json, "notWave", entry.bNotWave);
    return problem;
}

std::string ParseEntries(const Json& entries, Manifest& out) {
    if (!entries.is_array())
        return "\"entries\" must be an array";
    std::set<std::pair<std::int32_t, std::int32_t>> addresses;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ManifestEntry entry;
        const std::string where = "entry " + std::to_string(i + 1);
        if (const std::string problem = ParseEntry(entries[i], entry); !problem.empty())
            return where + ": " + problem;
        if (!addresses.insert({entry.type, entry.id}).second && !entry.bDuplicate)
            return where + " has the type and ID of an earlier entry (" +
                   std::to_string(entry.type) + ":" + std::to_string(entry.id) +
                   "); give it another ID";
        out.entries.push_back(std::move(entry));
    }
    return {};
}

// What is wrong with the manifest, without the full stop; empty when nothing.
std::string ManifestProblem(const std::string& text, Manifest& out) {
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::parse_error& error) {
        return NotJson(text, error);
    }
    if (!json.is_object())
        return "it is not a JSON object";
    for (const auto& item : json.items())
        if (item.key() != "version" && item.key() != "entries")
            return "it has an unknown key " + Shown(item.key());
    if (!json.contains("version") || !json.contains("entries"))
        return std::string("it has no \"") + (json.contains("version") ? "entries" : "version") +
               "\"";
    const auto version = Integer(json["version"], INT32_LOW, UINT32_HIGH);
    if (!version)
        return "\"version\" must be a whole number from -2147483648 to 4294967295";
    out.version = static_cast<std::int32_t>(static_cast<std::uint32_t>(*version));
    return ParseEntries(json["entries"], out);
}

} // namespace

std::string ManifestText(const Manifest& manifest) {
    auto entries = nlohmann::ordered_json::array();
    for (const ManifestEntry& entry : manifest.entries) {
        const std::string shown = EntryDisplayName(entry.name);
        nlohmann::ordered_json json = {
            {"type", entry.type}, {"id", entry.id}, {"name", Latin1ToUtf8(shown)}};
        if (MakeEntryName(shown) != entry.name)
            json["nameBytes"] = NameHex(entry.name);
        json["file"] = entry.file;
        if (entry.bDuplicate)
            json["duplicate"] = true;
        if (entry.bNotWave)
            json["notWave"] = true;
        entries.push_back(std::move(json));
    }
    const nlohmann::ordered_json json = {{"version", manifest.version}, {"entries", entries}};
    return json.dump(2) + "\n";
}

std::string ParseManifest(const std::string& text, Manifest& out) {
    const std::string problem = ManifestProblem(text, out);
    return problem.empty() ? problem : problem + ".";
}

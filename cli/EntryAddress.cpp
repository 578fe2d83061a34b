#include "cli/EntryAddress.h"

#include "archive/ArchiveFormat.h"
#include "archive/EntryText.h"
#include "archive/OstrevaneDoc.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"
#include "platform/NumberText.h"

#include <charconv>

namespace {

template <class T>
std::optional<T> ParseNumber(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::int32_t> ParseType(const std::string& text) {
    for (std::int32_t type = 0; type < 4; ++type)
        if (text == EntryTypeWord(type))
            return type;
    const auto number = ParseNumber<std::int32_t>(text);
    if (number && *number >= 0 && *number < 4)
        return number;
    return std::nullopt;
}

std::optional<EntryAddress> ParseEntryAddress(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    const std::string typeText = text.substr(0, colon), idText = text.substr(colon + 1);
    std::optional<std::int32_t> type = ParseType(typeText);
    if (!type && typeText.rfind("type", 0) == 0)
        type = ParseNumber<std::int32_t>(typeText.substr(4));
    if (!type)
        type = ParseNumber<std::int32_t>(typeText);
    std::optional<std::int32_t> id = ParseNumber<std::int32_t>(idText);
    if (!id)
        if (const auto unsignedId = ParseNumber<std::uint32_t>(idText))
            id = static_cast<std::int32_t>(*unsignedId);
    if (!type || !id)
        return std::nullopt;
    return EntryAddress{*type, *id};
}

std::string FormatAddress(std::int32_t type, std::int32_t id) {
    return EntryTypeWord(type) + ":" + std::to_string(id);
}

CLI::Validator TypeValidator() {
    return CLI::Validator(
        [](std::string& text) {
            return ParseType(text) ? std::string()
                                   : "TYPE must be 0 to 3, overlay, portrait, sound or backgrounds";
        },
        "TYPE");
}

CLI::Validator IdValidator() {
    return CLI::Validator(
        [](std::string& text) {
            return ParseUnsigned32(text) ? std::string()
                                         : "ID must be a whole number from 0 to 4294967295";
        },
        "ID");
}

CLI::Validator EntryValidator() {
    return CLI::Validator(
        [](std::string& text) {
            return ParseEntryAddress(text) ? std::string()
                                           : "an entry is TYPE:ID, for example sound:4 or 2:4";
        },
        "TYPE:ID");
}

CLI::Validator NameValidator() {
    return CLI::Validator(
        [](std::string& text) {
            const auto latin1 = Utf8ToLatin1(text);
            if (!latin1)
                return std::string("NAME may hold only Latin-1 characters");
            return latin1->size() <= ENTRY_NAME_SIZE ? std::string()
                                                     : "NAME must be at most 16 characters";
        },
        "NAME");
}

CFileEntry* FindAddressedEntry(COstrevaneDoc& doc, const std::string& address) {
    const EntryAddress entry = *ParseEntryAddress(address);
    CFileEntry* pEntry = doc.FindEntry(entry.type, entry.id);
    if (!pEntry)
        MessageBox(nullptr,
                   "There is no entry " + FormatAddress(entry.type, entry.id) + " in \"" +
                       doc.GetPathName() + "\".",
                   GetAppTitle());
    return pEntry;
}

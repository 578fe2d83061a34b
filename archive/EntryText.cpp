#include "archive/EntryText.h"

const char* EntryTypeText(std::int32_t type) {
    switch (type) {
    case ENTRY_VIEWPORT_OVERLAY:
        return "Viewport Overlay";
    case ENTRY_PORTRAIT:
        return "Portrait";
    case ENTRY_SOUND:
        return "Sound";
    case ENTRY_BACKGROUNDS:
        return "Backgrounds";
    default:
        return "Unknown";
    }
}

std::string EntryTypeWord(std::int32_t type) {
    static constexpr const char* WORDS[] = {"overlay", "portrait", "sound", "backgrounds"};
    return type >= 0 && type < 4 ? WORDS[type] : "type" + std::to_string(type);
}

std::string EntryDisplayName(const EntryName& name) {
    std::size_t end = ENTRY_NAME_SIZE;
    while (end > 0 && name[end - 1] == ' ')
        --end;
    std::string text(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(end));
    const auto zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}

#include "transfer/ExportFileNames.h"

#include "archive/EntryText.h"

namespace {

const char* ExtensionFor(std::int32_t type) {
    switch (type) {
    case ENTRY_SOUND:
        return ".wav";
    case ENTRY_VIEWPORT_OVERLAY:
    case ENTRY_PORTRAIT:
    case ENTRY_BACKGROUNDS:
        return ".bmp";
    default:
        return ".bin";
    }
}

std::string SafeName(const std::string& name) {
    std::string safe;
    for (const char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        safe += keep ? c : '_';
    }
    return safe;
}

} // namespace

std::string CExportFileNames::NameFor(const CFileEntry& entry) {
    std::string stem = EntryTypeWord(entry.m_type) + "-" + std::to_string(entry.m_id);
    const std::string name = SafeName(EntryDisplayName(entry.m_name));
    if (!name.empty())
        stem += "-" + name;
    const char* extension = ExtensionFor(entry.m_type);
    std::string fileName = stem + extension;
    if (m_given.insert(fileName).second)
        return fileName;
    std::uint64_t& next = m_nextNumber.try_emplace(fileName, 2).first->second;
    do
        fileName = stem + "-" + std::to_string(next++) + extension;
    while (!m_given.insert(fileName).second);
    return fileName;
}

#include "archive/EntryRules.h"

#include "archive/OstrevaneDoc.h"
#include "platform/MessageBox.h"

std::string ProposedEntryName(std::string_view path) {
    const auto slash = path.find_last_of('/');
    std::string_view title = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = title.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0)
        title = title.substr(0, dot);
    return std::string(title);
}

bool ResolveDuplicate(COstrevaneDoc& doc, const CFileEntry* pEntry, const CFileEntry& tmpl,
                      void* pOwner) {
    const std::int32_t type = tmpl.m_type != ENTRY_TYPE_NONE ? tmpl.m_type : pEntry->m_type;
    const std::int32_t id = tmpl.m_id != ENTRY_ID_NONE ? tmpl.m_id : pEntry->m_id;
    CFileEntry* pFound = doc.FindEntry(type, id);
    if (pFound == nullptr || pFound == pEntry)
        return true;
    if (MessageBox(pOwner,
                   "There already exists a file\nentry with that type and ID.\nShould we delete "
                   "the old entry\nand replace it with this one?",
                   "Warning--Duplicate entry", MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return false;
    doc.RemoveEntry(pFound);
    return true;
}

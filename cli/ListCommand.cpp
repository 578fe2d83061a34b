#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/TextOutput.h"

#include <array>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

namespace {

struct ListOptions {
    std::string archive;
    bool bJson = false;
};

void PrintTable(const COstrevaneDoc& doc) {
    std::vector<std::array<std::string, 6>> rows{
        {"ID", "Name", "Type", "Size", "Packed", "File Offset"}};
    rows.reserve(static_cast<std::size_t>(doc.CountEntries()) + 1);
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        rows.push_back({std::to_string(p->m_id), PrintableName(EntryDisplayName(p->m_name)),
                        EntryTypeText(p->m_type), std::to_string(p->m_size),
                        std::to_string(p->m_packedSize), std::to_string(p->m_offset)});
    PrintColumns(rows, {false, false, false, true, true, true});
}

void PrintJson(const COstrevaneDoc& doc) {
    auto entries = nlohmann::ordered_json::array();
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        entries.push_back({{"type", p->m_type},
                           {"typeName", EntryTypeText(p->m_type)},
                           {"id", p->m_id},
                           {"name", Latin1ToUtf8(EntryDisplayName(p->m_name))},
                           {"nameHex", NameHex(p->m_name)},
                           {"size", p->m_size},
                           {"packed", p->m_packedSize},
                           {"offset", p->m_offset}});
    std::printf("%s\n", entries.dump(2).c_str());
}

int RunList(const ListOptions& options) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, options.archive))
        return OSTR_EXIT_FAILURE;
    if (options.bJson)
        PrintJson(doc);
    else
        PrintTable(doc);
    return OSTR_EXIT_OK;
}

} // namespace

void AddListCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand("list", "Show the entries as the editor's table.");
    cmd->add_option("ARCHIVE", options->archive, "Archive to read")->required();
    cmd->add_flag("--json", options->bJson, "Print a JSON array, one object per entry");
    cmd->callback([options, &status] { status = RunList(*options); });
}

#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"
#include "transfer/EntryPacking.h"

#include <cstdio>
#include <memory>

namespace {

struct CheckOptions {
    std::string archive;
};

const char* Problem(UnpackStatus status) {
    return status == UnpackStatus::OutOfMemory ? "there is not enough memory to unpack it"
                                               : "its data is damaged";
}

int RunCheck(const CheckOptions& options) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, options.archive))
        return kExitFailure;
    int checked = 0, damaged = 0;
    std::vector<std::uint8_t> content;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext, ++checked) {
        const UnpackStatus status = UnpackEntryData(*p, content);
        content = {};
        if (status == UnpackStatus::Ok)
            continue;
        ++damaged;
        MessageBox(nullptr,
                   "Entry " + FormatAddress(p->m_type, p->m_id) + " \"" +
                       PrintableName(EntryDisplayName(p->m_name)) + "\": " + Problem(status) + ".",
                   GetAppTitle());
    }
    if (damaged > 0) {
        std::printf("%d of %d entries damaged\n", damaged, checked);
        return kExitFailure;
    }
    std::printf("%d entries, all sound\n", checked);
    return kExitOk;
}

} // namespace

void AddCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* cmd = app.add_subcommand("check", "Unpack every entry and report the damaged ones.");
    cmd->add_option("ARCHIVE", options->archive, "Archive to check")->required();
    cmd->callback([options, &status] { status = RunCheck(*options); });
}

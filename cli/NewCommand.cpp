#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "platform/ArchiveLock.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <memory>

namespace {

struct NewOptions {
    std::string archive;
    bool bForce = false;
    WriteOptions write;
};

int RunNew(const NewOptions& options) {
    std::error_code error;
    if (!options.bForce &&
        std::filesystem::exists(std::filesystem::symlink_status(options.archive, error))) {
        MessageBox(nullptr,
                   "\"" + options.archive + "\" already exists (use --force to replace it).",
                   GetAppTitle());
        return OSTR_EXIT_FAILURE;
    }
    // Replacing an archive another program is saving would undo its save.
    CArchiveLock lock;
    if (lock.Acquire(options.archive, options.write.waitSeconds) == CArchiveLock::Status::Busy) {
        MessageBox(nullptr, InUseMessage(options.archive, lock.GetHolderPid()), GetAppTitle());
        return OSTR_EXIT_FAILURE;
    }
    COstrevaneDoc doc;
    doc.OnNewDocument();
    return doc.OnSaveDocument(options.archive, &lock) ? OSTR_EXIT_OK : OSTR_EXIT_FAILURE;
}

} // namespace

void AddNewCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<NewOptions>();
    CLI::App* cmd = app.add_subcommand("new", "Write an empty archive.");
    cmd->add_option("ARCHIVE", options->archive, "Archive to create")->required();
    cmd->add_flag("-f,--force", options->bForce, "Replace an existing file");
    AddWriteOptions(*cmd, options->write, false);
    cmd->callback([options, &status] { status = RunNew(*options); });
}

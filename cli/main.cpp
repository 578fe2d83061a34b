// ostr: reads and changes Ostrevane archives from the command line.

#include "cli/Commands.h"
#include "cli/TerminalProgress.h"
#include "platform/LargeMemory.h"
#include "platform/MessageBox.h"
#include "platform/TempFiles.h"

#include <cstdio>
#include <string>

namespace {

// Messages go to stderr on one line each, in place of a progress line.
int PrintMessage(void*, const std::string& text, const std::string& caption, unsigned style) {
    ClearProgressLine();
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), OneLine(text).c_str());
    return DefaultAnswer(style);
}

} // namespace

int main(int argc, char** argv) {
    SetAppTitle("ostr");
    SetMessageBoxHandler(PrintMessage);
    RemoveTempFilesOnSignals();
    KeepFreedHeapMemory();
    CLI::App app{"Reads and changes Ostrevane archives (.dat).", "ostr"};
    app.require_subcommand(1, 1);
    app.set_version_flag("--version", "ostr " OSTREVANE_VERSION);
    app.add_flag_callback(
        "-q,--quiet", [] { CTerminalProgress::SetWanted(false); },
        "Show no progress line (one shows on a terminal when a verb takes over half a second)");
    app.fallthrough();
    app.footer("Exit status: 0 when it went well, 1 when it failed (a damaged or foreign archive "
               "too; diff: the archives differ), 2 for wrong usage (diff: trouble).\n"
               "ostr VERB --help tells more of each; man ostr tells all.");
    int status = OSTR_EXIT_OK;
    AddNewCommand(app, status);
    AddListCommand(app, status);
    AddAddCommand(app, status);
    AddExtractCommands(app, status);
    AddEditCommands(app, status);
    AddCheckCommand(app, status);
    AddInfoCommands(app, status);
    AddFolderCommands(app, status);
    AddDiffCommand(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? OSTR_EXIT_OK : OSTR_EXIT_USAGE;
    }
    return status;
}

// ostr: reads and changes Ostrevane archives from the command line.

#include "cli/Commands.h"
#include "platform/MessageBox.h"
#include "platform/TempFiles.h"

int main(int argc, char** argv) {
    SetAppTitle("ostr");
    RemoveTempFilesOnSignals();
    CLI::App app{"Reads and changes Ostrevane archives (.dat).", "ostr"};
    app.require_subcommand(1, 1);
    int status = OSTR_EXIT_OK;
    AddNewCommand(app, status);
    AddListCommand(app, status);
    AddAddCommand(app, status);
    AddExtractCommands(app, status);
    AddEditCommands(app, status);
    AddCheckCommand(app, status);
    AddInfoCommands(app, status);
    AddFolderCommands(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? OSTR_EXIT_OK : OSTR_EXIT_USAGE;
    }
    return status;
}

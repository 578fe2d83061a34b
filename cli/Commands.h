#pragma once

#include <CLI/CLI.hpp>

// Exit statuses of every verb (the standard library's EXIT_FAILURE is a
// macro, hence the prefix).
inline constexpr int OSTR_EXIT_OK = 0;
inline constexpr int OSTR_EXIT_FAILURE = 1; // also a damaged or foreign file
inline constexpr int OSTR_EXIT_USAGE = 2;

// Each verb adds its subcommand to app; when it runs, it stores its exit
// status in status.
void AddNewCommand(CLI::App& app, int& status);
void AddListCommand(CLI::App& app, int& status);
void AddAddCommand(CLI::App& app, int& status);
void AddExtractCommands(CLI::App& app, int& status);
void AddEditCommands(CLI::App& app, int& status);
void AddCheckCommand(CLI::App& app, int& status);
void AddInfoCommands(CLI::App& app, int& status);
// unpack, pack and diff.
void AddFolderCommands(CLI::App& app, int& status);
void AddDiffCommand(CLI::App& app, int& status);

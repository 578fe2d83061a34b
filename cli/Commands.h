#pragma once

#include <CLI/CLI.hpp>

// Exit statuses of every verb.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // also a damaged or foreign file
inline constexpr int kExitUsage = 2;

// Each verb adds its subcommand to app; when it runs, it stores its exit
// status in status.
void AddNewCommand(CLI::App& app, int& status);
void AddListCommand(CLI::App& app, int& status);
void AddAddCommand(CLI::App& app, int& status);
void AddExtractCommands(CLI::App& app, int& status);
void AddEditCommands(CLI::App& app, int& status);
void AddCheckCommand(CLI::App& app, int& status);

#pragma once

#include <string>

// The temporary files saves write beside their targets, named
// ".NAME.ostr-XXXXXX" so that one left behind (after a power cut or a
// SIGKILL) can be recognised as ours.

// "FOLDER/.NAME.ostr-XXXXXX" for the target FOLDER/NAME, ready for mkostemp.
std::string TempFilePattern(const std::string& target);
// Whether fileName (without folder) is a temporary file made for a target
// named targetName.
bool IsTempFileFor(const std::string& fileName, const std::string& targetName);

// Creates a temporary file from pattern (its X's replaced) and records it
// for removal on SIGINT, SIGTERM and SIGHUP; the signals are held off while
// it is made, so none can leave it unrecorded. Returns the descriptor, or -1
// with errno set.
int CreateTempFile(std::string& pattern);
// The file was renamed or removed: a signal no longer removes it.
void ForgetTempFile(const std::string& path);

// From now on SIGINT, SIGTERM and SIGHUP remove the recorded temporary
// files, then end the process as the signal would (status 128 + signal).
void RemoveTempFilesOnSignals();

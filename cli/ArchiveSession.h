#pragma once

#include "archive/OstrevaneDoc.h"
#include "platform/MessageBox.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

// Opens an archive for a verb. Returns false after the message (on stderr)
// when the file cannot be opened or read, or is damaged or foreign.
bool OpenArchive(COstrevaneDoc& doc, const std::string& path);

// How a verb that changes an archive goes about it.
struct WriteOptions {
    double waitSeconds = 10; // for another program that is saving the archive
    bool bForce = false;     // save even where the directory disagrees with the data
};

// --wait, and --force unless the verb gives that flag a meaning of its own.
void AddWriteOptions(CLI::App& cmd, WriteOptions& options, bool bWithForce = true);

// Takes the archive's lock (see CArchiveLock) for the whole change: opens
// the archive, refuses one whose directory disagrees with its data unless
// forced, lets change work on it, and saves it atomically when change
// succeeded and left the document modified. Returns the exit status; on any
// failure the file on disk is as it was.
int ChangeArchive(const std::string& path, const WriteOptions& options,
                  const std::function<bool(COstrevaneDoc&)>& change);

// For its lifetime, answers the program's Yes/No questions with Yes when
// bYes is set, else No, after printing the question on stderr.
class CQuestionAnswerer {
public:
    explicit CQuestionAnswerer(bool bYes);
    ~CQuestionAnswerer();
    CQuestionAnswerer(const CQuestionAnswerer&) = delete;
    CQuestionAnswerer& operator=(const CQuestionAnswerer&) = delete;

private:
    MessageBoxHandler m_previous;
};

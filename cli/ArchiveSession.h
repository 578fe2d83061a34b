#pragma once

#include "archive/OstrevaneDoc.h"

#include <functional>
#include <string>

// Opens an archive for a verb. Returns false after the message (on stderr)
// when the file cannot be opened or read, or is damaged or foreign.
bool OpenArchive(COstrevaneDoc& doc, const std::string& path);

// Opens the archive, lets change work on it, and saves it atomically when
// change succeeded and left the document modified. Returns the exit status;
// on any failure the file on disk is as it was.
int ChangeArchive(const std::string& path, const std::function<bool(COstrevaneDoc&)>& change);

// For its lifetime, answers the program's Yes/No questions with Yes when
// bYes is set, else No, after printing the question on stderr.
class CQuestionAnswerer {
public:
    explicit CQuestionAnswerer(bool bYes);
    ~CQuestionAnswerer();
    CQuestionAnswerer(const CQuestionAnswerer&) = delete;
    CQuestionAnswerer& operator=(const CQuestionAnswerer&) = delete;
};

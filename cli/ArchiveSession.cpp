#include "cli/ArchiveSession.h"

#include "cli/TerminalProgress.h"

#include "cli/Commands.h"
#include "platform/ArchiveLock.h"
#include "platform/MessageBox.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Locks the archive, then reads it. The lock's check that the path still
// names the locked file holds against our own writers; a program that takes
// no lock could still replace the file before it is read, so the file read
// is compared with the file locked, and a mismatch starts again.
bool LockAndOpen(const std::string& path, double waitSeconds, CArchiveLock& lock,
                 COstrevaneDoc& doc) {
    for (int attempt = 0;; ++attempt) {
        const CArchiveLock::Status status = lock.Acquire(path, waitSeconds);
        if (status == CArchiveLock::Status::Busy) {
            MessageBox(nullptr, InUseMessage(path, lock.GetHolderPid()), GetAppTitle());
            return false;
        }
        if (!OpenArchive(doc, path))
            return false;
        if (status != CArchiveLock::Status::Locked || attempt == 2 ||
            doc.GetDiskIdentity().IsSameFile(lock.GetIdentity()))
            return true;
    }
}

CLI::Validator SecondsValidator() {
    return CLI::Validator(
        [](std::string& text) {
            char* end = nullptr;
            const double seconds = std::strtod(text.c_str(), &end);
            const bool bGood = !text.empty() && *end == '\0' && seconds >= 0 && seconds <= 1e6;
            return bGood ? std::string() : "SECONDS must be a number from 0 to 1000000";
        },
        "");
}

} // namespace

bool OpenArchive(COstrevaneDoc& doc, const std::string& path) {
    return doc.OnOpenDocument(path) && !doc.WasLoadRefused();
}

void AddWriteOptions(CLI::App& cmd, WriteOptions& options, bool bWithForce) {
    cmd.add_option("--wait", options.waitSeconds,
                   "Seconds to wait for another program that is saving the archive")
        ->default_val(10)
        ->check(SecondsValidator())
        ->type_name("SECONDS");
    if (bWithForce)
        cmd.add_flag("--force", options.bForce,
                     "Save even an archive whose directory does not match its data");
}

int ChangeArchive(const std::string& path, const WriteOptions& options,
                  const std::function<bool(COstrevaneDoc&)>& change) {
    CArchiveLock lock;
    COstrevaneDoc doc;
    if (!LockAndOpen(path, options.waitSeconds, lock, doc))
        return OSTR_EXIT_FAILURE;
    if (!options.bForce && !doc.GetLayoutReport().IsEmpty()) {
        MessageBox(nullptr,
                   path + ": its directory does not match its data; saving would rewrite it "
                          "(use --force)",
                   GetAppTitle());
        return OSTR_EXIT_FAILURE;
    }
    if (!change(doc))
        return OSTR_EXIT_FAILURE;
    if (doc.IsModified() && !doc.OnSaveDocument(path, &lock))
        return OSTR_EXIT_FAILURE;
    return OSTR_EXIT_OK;
}

CQuestionAnswerer::CQuestionAnswerer(bool bYes) {
    m_previous = SetMessageBoxHandler(
        [bYes](void*, const std::string& text, const std::string& caption, unsigned style) {
            ClearProgressLine();
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), OneLine(text).c_str());
            if ((style & MB_BUTTONMASK) != MB_YESNO)
                return IDOK;
            if (!bYes)
                std::fprintf(stderr, "%s: not replaced (use --replace to answer yes)\n",
                             GetAppTitle().c_str());
            return bYes ? IDYES : IDNO;
        });
}

CQuestionAnswerer::~CQuestionAnswerer() {
    SetMessageBoxHandler(std::move(m_previous));
}

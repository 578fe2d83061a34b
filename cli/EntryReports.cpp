#include "cli/EntryReports.h"

#include "archive/EntryText.h"
#include "cli/EntryAddress.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"

#include <sys/stat.h>

void Report(const std::string& text) {
    MessageBox(nullptr, text, GetAppTitle());
}

std::string EntryLabel(const CFileEntry& entry) {
    return FormatAddress(entry.m_type, entry.m_id) + " \"" +
           PrintableName(EntryDisplayName(entry.m_name)) + "\"";
}

bool Unpacked(const CFileEntry& entry, UnpackStatus status, const std::string& where) {
    if (status == UnpackStatus::Ok)
        return true;
    Report(where + "Entry " + EntryLabel(entry) + ": " +
           (status == UnpackStatus::OutOfMemory ? "there is not enough memory to unpack it"
                                                : "its data is damaged") +
           ".");
    return false;
}

std::string ArchiveItselfProblem(const std::string& path, const FileIdentity& archive) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && IdentityOf(st).IsSameFile(archive))
        return "Cannot write " + path + ": it is the archive being read.";
    return {};
}

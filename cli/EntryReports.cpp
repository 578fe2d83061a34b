#include "cli/EntryReports.h"

#include "archive/EntryText.h"
#include "cli/EntryAddress.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"

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

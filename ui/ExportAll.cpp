#include "ui/ExportAll.h"

#include "archive/EntryText.h"
#include "archive/OstrevaneDoc.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/WaitProgress.h"
#include "transfer/ExportFileNames.h"
#include "transfer/ExportPipeline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <string>
#include <utility>
#include <vector>

namespace {

using EntryFiles = std::vector<std::pair<const CFileEntry*, QString>>;

EntryFiles NameFiles(const COstrevaneDoc& doc, const QDir& folder) {
    CExportFileNames names;
    EntryFiles files;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        files.emplace_back(p, folder.filePath(QString::fromStdString(names.NameFor(*p))));
    return files;
}

bool AgreeToReplace(const EntryFiles& files, const QString& folder, QWidget* pOwner) {
    int existing = 0;
    for (const auto& file : files)
        existing += QFileInfo::exists(file.second) ? 1 : 0;
    if (existing == 0)
        return true;
    const QString question =
        QString("%1 files in %2 would be replaced. Replace them?").arg(existing).arg(folder);
    return MessageBox(OwnerOf(pOwner), question.toStdString(), "Export All",
                      MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

const char* Problem(const ExportOutcome& outcome) {
    switch (outcome.failure) {
    case ExportFailure::OutOfMemory:
        return "there is not enough memory to unpack it";
    case ExportFailure::CannotOpen:
    case ExportFailure::CannotWrite:
        return "the file cannot be written";
    default:
        return "its data is damaged";
    }
}

// At most this many failures are listed by name.
constexpr int LISTED_FAILURES = 10;

void ReportFailures(const QStringList& failures, int total, QWidget* pOwner) {
    if (failures.isEmpty())
        return;
    QString text =
        QString("%1 of %2 entries could not be exported:").arg(failures.size()).arg(total);
    for (int i = 0; i < failures.size() && i < LISTED_FAILURES; ++i)
        text += "\n" + failures[i];
    if (failures.size() > LISTED_FAILURES)
        text += QString("\nand %1 more").arg(failures.size() - LISTED_FAILURES);
    MessageBox(OwnerOf(pOwner), text.toStdString(), "error", MB_OK);
}

} // namespace

void ExportAllEntries(const COstrevaneDoc& doc, const QString& folder, QWidget* pOwner) {
    const EntryFiles files = NameFiles(doc, QDir(folder));
    if (files.empty() || !AgreeToReplace(files, folder, pOwner))
        return;
    CWaitProgress wait(pOwner, "Exporting to " + folder);
    QStringList failures;
    const auto total = static_cast<std::uint64_t>(files.size());
    for (std::uint64_t done = 0; done < total; ++done) {
        if (!wait.Report(done, total))
            break;
        const auto& [pEntry, path] = files[done];
        // A large entry can be cancelled while it unpacks. Into a folder of
        // the user's choosing, links there are replaced, not followed, as
        // extract-all does.
        const ExportOutcome outcome = ExportEntryQuietly(
            *pEntry, QFile::encodeName(path).toStdString(), false,
            [&](std::uint64_t, std::uint64_t) { return wait.Report(done, total); });
        if (outcome.failure == ExportFailure::Cancelled)
            break;
        if (!outcome.Succeeded())
            failures << QString("%1 %2: %3")
                            .arg(QString::fromStdString(EntryTypeWord(pEntry->m_type)))
                            .arg(pEntry->m_id)
                            .arg(Problem(outcome));
    }
    ReportFailures(failures, static_cast<int>(total), pOwner);
}

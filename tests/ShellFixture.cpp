#include "tests/ShellFixture.h"

#include "archive/OstrevaneDoc.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/PreviewPane.h"

#include <QDialog>
#include <QSettings>

ShellTest::ShellTest() {
    // Each test starts the program afresh, as a new process would.
    g_columnsCreated = 0;
    QSettings().clear();
    m_previousFileDialog = SetFileDialogHandler([this](CFileDialog& dialog) {
        ++m_fileDialogs;
        m_lastFileDialog = {dialog.IsOpenDialog(),     dialog.GetDefaultExt(),
                            dialog.GetInitialName(),   dialog.GetNameFilters(),
                            dialog.GetParent(),        dialog.GetSelectedFilter(),
                            dialog.GetInitialFolder(), dialog.IsFolderDialog()};
        if (m_chosenFiles.empty())
            return false;
        const auto [path, filter] = m_chosenFiles.front();
        m_chosenFiles.pop_front();
        dialog.SetPathName(path);
        if (filter >= 0)
            dialog.SetSelectedFilter(filter);
        return !path.isEmpty();
    });
    m_previousModal = SetModalHook([this](QDialog& dialog) {
        ++m_modalCount;
        if (m_modalScripts.empty())
            return static_cast<int>(QDialog::Rejected);
        auto script = std::move(m_modalScripts.front());
        m_modalScripts.pop_front();
        return script(dialog);
    });
}

ShellTest::~ShellTest() {
    // Nothing may ask a question while the window goes.
    if (m_pApp && m_pApp->Document() != nullptr)
        m_pApp->Document()->SetModifiedFlag(false);
    m_pApp.reset();
    SetModalHook(m_previousModal);
    SetFileDialogHandler(m_previousFileDialog);
}

// The previews play into a silent sink: tests never touch the sound device.
bool ShellTest::Start(const QStringList& arguments) {
    m_pApp = std::make_unique<COstrevaneApp>();
    const bool bStarted = m_pApp->InitInstance(QStringList{"ostrevane"} + arguments);
    if (m_pApp->Preview() != nullptr)
        m_pApp->Preview()->SetSoundOutputFactory([this] { return &m_silence; });
    return bStarted;
}

CMainFrame& ShellTest::Frame() const {
    return *m_pApp->Frame();
}

COstrevaneDoc& ShellTest::Doc() const {
    return *m_pApp->Document();
}

COstrevaneView& ShellTest::View() const {
    return *m_pApp->View();
}

Bytes ShellTest::ArchiveOf(const std::vector<SEntrySpec>& entries) {
    ArchiveBuilder builder;
    for (const SEntrySpec& e : entries)
        builder.Entry(e.type, e.id, e.name16);
    return builder.Build();
}

QString ShellTest::WriteArchive(const std::string& name, const Bytes& bytes) const {
    const std::string path = m_dir.File(name);
    WriteBytes(path, bytes);
    return QString::fromStdString(path);
}

QStringList ShellTest::Column(int column) const {
    QStringList texts;
    const CEntryTableModel& model = View().Model();
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

void ShellTest::SelectRow(int row) const {
    View().setCurrentIndex(View().Model().index(row, 0));
}

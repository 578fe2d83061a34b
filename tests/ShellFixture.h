#pragma once

#include "platform/SoundOutput.h"
#include "platform/qt/FileDialog.h"
#include "platform/qt/Modal.h"
#include "tests/ArchiveBuilder.h"
#include "ui/OstrevaneApp.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <utility>

class CMainFrame;
class COstrevaneDoc;
class COstrevaneView;
class QDialog;

// Runs the editor inside the test: message boxes recorded and answered from a
// script, file dialogs answered with scripted paths, modal dialogs handled by
// scripted functions instead of blocking.
class ShellTest : public ::testing::Test {
protected:
    ShellTest();
    ~ShellTest() override;

    // Starts the program with these arguments (after the program's name).
    bool Start(const QStringList& arguments = {});

    CMainFrame& Frame() const;
    COstrevaneDoc& Doc() const;
    COstrevaneView& View() const;
    COstrevaneApp& App() const { return *m_pApp; }

    // What the last file dialog was asked to show.
    struct SDialogSeen {
        bool bOpen = false;
        QString defaultExt, initialName;
        QStringList filters;
        QWidget* pParent = nullptr;
        int selectedFilter = 0;
        QString initialFolder;
        bool bFolder = false;
    };
    SDialogSeen m_lastFileDialog;
    int m_fileDialogs = 0;

    // The next file dialog chooses path ("" cancels).
    // With filter set, the file is chosen with that filter (0 for the first).
    void ChooseFile(const QString& path, int filter = -1) {
        m_chosenFiles.push_back({path, filter});
    }
    // The next modal dialog is handed to fn, whose result DoModal returns.
    void OnModal(std::function<int(QDialog&)> fn) { m_modalScripts.push_back(std::move(fn)); }
    int ModalCount() const { return m_modalCount; }
    // Runs open(), handing the Dialog it shows to fill; returns the dialog's
    // result (-1 when none opened).
    template <class Dialog>
    int RunDialog(const std::function<void()>& open, const std::function<void(Dialog&)>& fill) {
        int result = -1;
        OnModal([&](QDialog& dialog) {
            auto& typed = dynamic_cast<Dialog&>(dialog);
            fill(typed);
            result = typed.result();
            return result;
        });
        open();
        return result;
    }

    // An archive of empty entries (type, ID, 16 name bytes), in this order.
    struct SEntrySpec {
        std::int32_t type, id;
        std::string name16;
    };
    static Bytes ArchiveOf(const std::vector<SEntrySpec>& entries);

    // Writes bytes as a file in the test's folder and returns its path.
    QString WriteArchive(const std::string& name, const Bytes& bytes) const;
    // The rows' texts of one column, top to bottom.
    QStringList Column(int column) const;
    void SelectRow(int row) const;

    TempDir m_dir;
    MessageRecorder m_messages;
    CSilentSoundOutput m_silence;

private:
    std::unique_ptr<COstrevaneApp> m_pApp;
    std::deque<std::pair<QString, int>> m_chosenFiles;
    std::deque<std::function<int(QDialog&)>> m_modalScripts;
    int m_modalCount = 0;
    FileDialogHandler m_previousFileDialog;
    ModalHook m_previousModal;
};

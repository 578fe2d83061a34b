#pragma once

#include "platform/View.h"

#include <QTreeView>

#include <memory>

class CCmdUI;
class CEntryTableModel;
class CFileEntry;
class QMimeData;
class QPrinter;
class QTemporaryDir;

// The one view of the document: the entry list, six columns, one row per
// entry in list order, rebuilt from the document on every change. Single
// selection, no sorting, no editing in place.
class COstrevaneView : public QTreeView, public CView {
    Q_OBJECT
public:
    explicit COstrevaneView(QWidget* pParent = nullptr);
    ~COstrevaneView() override;

    void OnInitialUpdate() override;
    void OnUpdate(CView* pSender, long lHint, CObject* pHint) override;

    // Double-click or Enter on the selected row: the Edit File Entry dialog
    // for the entry that row shows, while it is still in the document.
    void OnRowActivated();

    void OnUpdateFileImport(CCmdUI* pCmdUI);
    // Asks for a file, then runs the Importing File dialog on it.
    void OnFileImport();
    // Runs the Importing File dialog on path.
    void ImportFromFile(const QString& path);
    // Asks for a file name, then writes the selected entry's content there.
    void OnFileExport();
    void OnUpdateFileExport(CCmdUI* pCmdUI);
    // Asks for a folder, then writes every entry into it.
    void OnFileExportAll();
    void OnUpdateFileExportAll(CCmdUI* pCmdUI);
    // Deletes the selected entry at once, without a question.
    void OnEditCut();

    // Shows only the rows that match text; the selected entry stays
    // selected while it is shown.
    void SetFilter(const QString& text);

    // Printing renders the table; Print asks for a printer, Print Direct
    // uses the default one, Print Preview shows the pages.
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();
    // Prints onto a printer set up by the caller; false when nothing could
    // be printed.
    bool PrintTo(QPrinter& printer) const;

    // The selected row, or -1; and the entry it shows while that entry is
    // still in the document (null otherwise).
    int GetSelectedRow() const;
    CFileEntry* GetSelectedEntry() const;
    CEntryTableModel& Model() const { return *m_pModel; }

    // What dragging the selected row out carries: the entry's content
    // written to a file named as Export All names it, in a folder of this
    // run's own. Null, after telling the user why, when it cannot be written.
    QMimeData* DragDataForSelection();

signals:
    // The selection changed or the rows were rebuilt: commands that depend
    // on the selection need updating.
    void SelectionStateChanged();
    // Space in the list: play or stop the previewed sound.
    void PlayToggleRequested();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    static int ExportFilterFor(const CFileEntry* pEntry);
    void AddColumns();
    void RebuildRows();
    void SelectRow(int row);

    CEntryTableModel* m_pModel;
    std::unique_ptr<QTemporaryDir> m_pDragFolder;
};

// Set once the columns have been set up; stays set for the whole process.
extern int g_columnsCreated;

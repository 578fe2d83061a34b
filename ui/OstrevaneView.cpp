#include "ui/OstrevaneView.h"

#include "archive/OstrevaneDoc.h"
#include "platform/qt/CommandMap.h"
#include "platform/qt/FileDialog.h"
#include "platform/qt/Modal.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/WaitProgress.h"
#include "transfer/ExportFileNames.h"
#include "transfer/ExportPipeline.h"
#include "transfer/ImportDlg.h"
#include "ui/EditEntryDlg.h"
#include "ui/EntryTableModel.h"
#include "ui/ExportAll.h"
#include "ui/TablePrinter.h"

#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>

int g_columnsCreated = 0;

COstrevaneView::COstrevaneView(QWidget* pParent)
    : QTreeView(pParent), m_pModel(new CEntryTableModel(this)) {
    setModel(m_pModel);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    // A row dragged out is exported where it is dropped.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &COstrevaneView::SelectionStateChanged);
    connect(m_pModel, &QAbstractItemModel::modelReset, this,
            &COstrevaneView::SelectionStateChanged);
    // Only a double-click activates: never a single click, whatever the
    // desktop's style prefers.
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { OnRowActivated(); });
}

COstrevaneView::~COstrevaneView() = default;

void COstrevaneView::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
        OnRowActivated();
        return;
    }
    if (pEvent->key() == Qt::Key_Space && pEvent->modifiers() == Qt::NoModifier) {
        emit PlayToggleRequested();
        return;
    }
    if (pEvent->key() == Qt::Key_Delete && pEvent->modifiers() == Qt::NoModifier) {
        OnEditCut();
        return;
    }
    // Copy is a command that is never enabled: the keys must not copy either.
    if (pEvent->matches(QKeySequence::Copy) || pEvent->matches(QKeySequence::Cut) ||
        pEvent->matches(QKeySequence::Paste)) {
        pEvent->ignore();
        return;
    }
    QTreeView::keyPressEvent(pEvent);
}

void COstrevaneView::OnRowActivated() {
    if (CFileEntry* pEntry = GetSelectedEntry()) {
        CEditEntryDlg dialog(pEntry, window());
        DoModal(dialog);
    }
}

void COstrevaneView::OnInitialUpdate() {
    OnUpdate(nullptr, 0, nullptr);
    if (g_columnsCreated == 0) {
        AddColumns();
        g_columnsCreated = 1;
    }
    RebuildRows();
}

// The widths were chosen for a font in which "Viewport Overlay" is 80
// pixels wide; with a wider font every column grows in proportion.
void COstrevaneView::AddColumns() {
    const double scale = std::max(1.0, fontMetrics().horizontalAdvance("Viewport Overlay") / 80.0);
    for (int column = 0; column < CEntryTableModel::ColumnCount; ++column)
        header()->resizeSection(column,
                                static_cast<int>(CEntryTableModel::ColumnWidth(column) * scale));
    // The ID column holds the longest ID there is, with the cell's margins.
    const int idWidth = fontMetrics().horizontalAdvance("-2147483648") +
                        2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    if (header()->sectionSize(CEntryTableModel::ColId) < idWidth)
        header()->resizeSection(CEntryTableModel::ColId, idWidth);
}

// After a change the entry added or changed is selected and shown; after a
// removal, the row that took the selected one's place (the last row when
// the selected one was last), so that deleting again deletes the next.
void COstrevaneView::OnUpdate(CView*, long lHint, CObject* pHint) {
    if (lHint == 0) {
        m_pModel->Clear();
        viewport()->update();
        return;
    }
    const int selected = GetSelectedRow();
    RebuildRows();
    const auto* pEntryHint = dynamic_cast<const CEntryHint*>(pHint);
    if (pEntryHint != nullptr && pEntryHint->m_pEntry != nullptr)
        SelectRow(m_pModel->RowOf(pEntryHint->m_pEntry));
    else if (selected >= 0)
        SelectRow(std::min(selected, m_pModel->rowCount() - 1));
}

void COstrevaneView::SetFilter(const QString& text) {
    const CFileEntry* pSelected = m_pModel->EntryAt(GetSelectedRow());
    m_pModel->SetFilter(text);
    SelectRow(m_pModel->RowOf(pSelected));
}

void COstrevaneView::SelectRow(int row) {
    if (row < 0)
        return;
    const QModelIndex index = m_pModel->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

void COstrevaneView::RebuildRows() {
    m_pModel->Rebuild(g_pDoc != nullptr ? g_pDoc->m_pHead : nullptr);
}

void COstrevaneView::OnUpdateFileImport(CCmdUI* pCmdUI) {
    pCmdUI->Enable(true);
}

void COstrevaneView::OnUpdateFileExport(CCmdUI* pCmdUI) {
    pCmdUI->Enable(GetSelectedRow() != -1);
}

void COstrevaneView::OnFileImport() {
    CFileDialog dialog(true, "dat", QString(),
                       "Bitmap (*.bmp)|*.bmp|Wave (*.wav)|*.wav|All files (*.*)|*.*||", this);
    dialog.RememberFolder("import");
    if (dialog.DoModal())
        ImportFromFile(dialog.GetPathName());
}

void COstrevaneView::ImportFromFile(const QString& path) {
    CImportDlg importDlg(path, QFileInfo(path).fileName(), this);
    DoModal(importDlg);
}

QMimeData* COstrevaneView::DragDataForSelection() {
    const CFileEntry* pEntry = GetSelectedEntry();
    if (pEntry == nullptr)
        return nullptr;
    if (!m_pDragFolder || !m_pDragFolder->isValid())
        m_pDragFolder = std::make_unique<QTemporaryDir>();
    const QString path =
        m_pDragFolder->filePath(QString::fromStdString(CExportFileNames().NameFor(*pEntry)));
    CWaitProgress wait(this, "Exporting to " + path);
    if (ExportEntry(*pEntry, QFile::encodeName(path).toStdString(), OwnerOf(this),
                    wait.Callback()) != ExportResult::Exported)
        return nullptr;
    auto* pData = new QMimeData;
    pData->setUrls({QUrl::fromLocalFile(path)});
    return pData;
}

void COstrevaneView::startDrag(Qt::DropActions) {
    QMimeData* pData = DragDataForSelection();
    if (pData == nullptr)
        return;
    auto* pDrag = new QDrag(this);
    pDrag->setMimeData(pData);
    pDrag->exec(Qt::CopyAction);
}

// The filter the export dialog starts at: Wave for a sound, Bitmap for
// content that starts as a bitmap file does, else All files.
int COstrevaneView::ExportFilterFor(const CFileEntry* pEntry) {
    enum { BITMAP, WAVE, BINARY, ALL_FILES };
    if (pEntry == nullptr)
        return ALL_FILES;
    if (pEntry->m_type == ENTRY_SOUND)
        return WAVE;
    return ContentStartsWith(*pEntry, "BM") ? BITMAP : ALL_FILES;
}

// The save dialog comes first; the selected row's entry is looked at again
// after it, and only an entry still in the document is written.
void COstrevaneView::OnFileExport() {
    CFileDialog dialog(
        false, "dat", "untitled",
        "Bitmap (*.bmp)|*.bmp|Wave (*.wav)|*.wav|Binary (*.bin)|*.bin|All files (*.*)|*.*||", this);
    dialog.SelectFilter(ExportFilterFor(GetSelectedEntry()));
    dialog.RememberFolder("export");
    if (!dialog.DoModal())
        return;
    const CFileEntry* pEntry = GetSelectedEntry();
    if (pEntry == nullptr)
        return;
    CWaitProgress wait(this, "Exporting to " + dialog.GetPathName());
    ExportEntry(*pEntry, QFile::encodeName(dialog.GetPathName()).toStdString(), OwnerOf(this),
                wait.Callback());
}

void COstrevaneView::OnUpdateFileExportAll(CCmdUI* pCmdUI) {
    pCmdUI->Enable(g_pDoc != nullptr && g_pDoc->m_pHead != nullptr);
}

void COstrevaneView::OnFileExportAll() {
    CFileDialog dialog = CFileDialog::ForFolder(this);
    dialog.RememberFolder("export");
    if (dialog.DoModal() && g_pDoc != nullptr)
        ExportAllEntries(*g_pDoc, dialog.GetPathName(), this);
}

void COstrevaneView::OnEditCut() {
    if (selectionModel()->selectedRows().size() != 1)
        return;
    if (CFileEntry* pEntry = GetSelectedEntry())
        g_pDoc->RemoveEntry(pEntry);
}

int COstrevaneView::GetSelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

CFileEntry* COstrevaneView::GetSelectedEntry() const {
    CFileEntry* pEntry = m_pModel->EntryAt(GetSelectedRow());
    if (pEntry == nullptr || g_pDoc == nullptr || !g_pDoc->ContainsEntry(pEntry))
        return nullptr;
    return pEntry;
}

void COstrevaneView::OnFilePrint() {
    PrintWithDialog(*this);
}

void COstrevaneView::OnFilePrintDirect() {
    PrintToDefaultPrinter(*this);
}

void COstrevaneView::OnFilePrintPreview() {
    ShowPrintPreview(*this);
}

bool COstrevaneView::PrintTo(QPrinter& printer) const {
    // The whole archive, whatever the filter shows.
    CEntryTableModel all;
    all.Rebuild(g_pDoc->m_pHead);
    return PrintEntryTable(printer, all, QString::fromStdString(g_pDoc->GetTitle()));
}

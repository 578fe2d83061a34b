#include "ui/TablePrinter.h"

#include "platform/MessageBox.h"
#include "platform/qt/Modal.h"
#include "platform/qt/QtMessageBox.h"
#include "ui/EntryTableModel.h"
#include "ui/OstrevaneView.h"

#include <QFontMetrics>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace {

// Column widths on paper in proportion to the list's, filling the page.
std::vector<int> ColumnEdges(int pageWidth) {
    int total = 0;
    for (int c = 0; c < CEntryTableModel::ColumnCount; ++c)
        total += CEntryTableModel::ColumnWidth(c);
    std::vector<int> edges{0};
    int sum = 0;
    for (int c = 0; c < CEntryTableModel::ColumnCount; ++c) {
        sum += CEntryTableModel::ColumnWidth(c);
        edges.push_back(pageWidth * sum / total);
    }
    return edges;
}

class CTablePage {
public:
    CTablePage(QPainter& painter, const QRect& page)
        : m_painter(painter), m_page(page), m_edges(ColumnEdges(page.width())),
          m_lineHeight(QFontMetrics(painter.font()).height() * 6 / 5),
          m_pad(QFontMetrics(painter.font()).averageCharWidth() / 2) {}

    int RowsPerPage() const {
        return std::max(1, (m_page.height() - 4 * m_lineHeight) / m_lineHeight);
    }

    void DrawHeading(const QString& title) {
        QFont bold = m_painter.font();
        bold.setBold(true);
        m_painter.save();
        m_painter.setFont(bold);
        m_painter.drawText(LineRect(0), Qt::AlignLeft | Qt::AlignVCenter, title);
        for (int c = 0; c < CEntryTableModel::ColumnCount; ++c)
            DrawCell(1, c, CEntryTableModel::ColumnTitle(c));
        m_painter.restore();
        const int y = m_page.top() + 2 * m_lineHeight;
        m_painter.drawLine(m_page.left(), y, m_page.right(), y);
    }

    void DrawRow(int line, const CEntryTableModel& model, int row) {
        const CFileEntry* pEntry = model.EntryAt(row);
        for (int c = 0; c < CEntryTableModel::ColumnCount; ++c)
            DrawCell(line + 2, c, CEntryTableModel::CellText(*pEntry, c));
    }

    void DrawFooter(int page, int pages) {
        const QRect foot(m_page.left(), m_page.bottom() - m_lineHeight, m_page.width(),
                         m_lineHeight);
        m_painter.drawText(foot, Qt::AlignHCenter | Qt::AlignVCenter,
                           QString("Page %1 of %2").arg(page).arg(pages));
    }

private:
    QRect LineRect(int line) const {
        return QRect(m_page.left(), m_page.top() + line * m_lineHeight, m_page.width(),
                     m_lineHeight);
    }

    void DrawCell(int line, int column, const QString& text) {
        QRect cell = LineRect(line);
        cell.setLeft(m_page.left() + m_edges[column] + m_pad);
        cell.setRight(m_page.left() + m_edges[column + 1] - m_pad);
        const QString shown =
            QFontMetrics(m_painter.font()).elidedText(text, Qt::ElideRight, cell.width());
        m_painter.drawText(cell, static_cast<int>(CEntryTableModel::ColumnAlignment(column)),
                           shown);
    }

    QPainter& m_painter;
    QRect m_page;
    std::vector<int> m_edges;
    int m_lineHeight;
    int m_pad;
};

bool ReportUnusablePrinter(COstrevaneView& view) {
    MessageBox(OwnerOf(&view), "There is no printer to print to.", GetAppTitle(),
               MB_OK | MB_ICONEXCLAMATION);
    return false;
}

} // namespace

bool PrintEntryTable(QPrinter& printer, const CEntryTableModel& model, const QString& title) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(QFont(painter.font().family(), 10));
    // The painter's origin is the top left corner of the printable area.
    const QSize printable = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    CTablePage layout(painter, QRect(QPoint(0, 0), printable));
    const int perPage = layout.RowsPerPage();
    const int rows = model.rowCount();
    const int pages = std::max(1, (rows + perPage - 1) / perPage);
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage())
            return false;
        layout.DrawHeading(title);
        for (int line = 0; line < perPage && page * perPage + line < rows; ++line)
            layout.DrawRow(line, model, page * perPage + line);
        layout.DrawFooter(page + 1, pages);
    }
    return painter.end();
}

QPrinter& SharedPrinter() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

void PrintWithDialog(COstrevaneView& view) {
    QPrintDialog dialog(&SharedPrinter(), &view);
    if (DoModal(dialog) != QDialog::Accepted)
        return;
    if (!view.PrintTo(SharedPrinter()))
        ReportUnusablePrinter(view);
}

bool PrintToDefaultPrinter(COstrevaneView& view) {
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (defaultPrinter.isNull())
        return ReportUnusablePrinter(view);
    QPrinter printer(defaultPrinter, QPrinter::HighResolution);
    return view.PrintTo(printer) || ReportUnusablePrinter(view);
}

void ShowPrintPreview(COstrevaneView& view) {
    QPrintPreviewDialog dialog(&SharedPrinter(), &view);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &view,
                     [&view](QPrinter* pPrinter) { view.PrintTo(*pPrinter); });
    DoModal(dialog);
}

void ShowPrintSetup(QWidget* pParent) {
    QPageSetupDialog dialog(&SharedPrinter(), pParent);
    DoModal(dialog);
}

#include "ui/EntryTableModel.h"

#include "archive/EntryText.h"
#include "archive/FileEntry.h"

#include <algorithm>

namespace {

struct SColumn {
    const char* title;
    Qt::Alignment alignment;
    int width;
};

constexpr Qt::Alignment LEFT = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment RIGHT = Qt::AlignRight | Qt::AlignVCenter;

const SColumn COLUMNS[] = {
    {"ID", LEFT, 50},    {"Name", LEFT, 200},   {"Type", LEFT, 100},
    {"Size", RIGHT, 60}, {"Packed", RIGHT, 60}, {"File Offset", RIGHT, 80},
};

} // namespace

std::uint32_t RowKey(const CFileEntry& entry) {
    return static_cast<std::uint32_t>(entry.m_type) << 24 | static_cast<std::uint32_t>(entry.m_id);
}

void CEntryTableModel::Rebuild(const CFileEntry* pHead) {
    beginResetModel();
    m_pHead = pHead;
    m_rows.clear();
    m_total = 0;
    for (const CFileEntry* p = pHead; p != nullptr; p = p->m_pNext, ++m_total)
        if (m_filter.isEmpty() || Matches(*p))
            m_rows.push_back(const_cast<CFileEntry*>(p));
    endResetModel();
}

void CEntryTableModel::SetFilter(const QString& text) {
    if (text == m_filter)
        return;
    m_filter = text;
    Rebuild(m_pHead);
}

bool CEntryTableModel::Matches(const CFileEntry& entry) const {
    for (const int column : {ColId, ColName, ColType})
        if (CellText(entry, column).contains(m_filter, Qt::CaseInsensitive))
            return true;
    return false;
}

CFileEntry* CEntryTableModel::EntryAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return nullptr;
    return m_rows[static_cast<std::size_t>(row)];
}

int CEntryTableModel::RowOf(const CFileEntry* pEntry) const {
    const auto it = std::find(m_rows.begin(), m_rows.end(), pEntry);
    return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin());
}

int CEntryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CEntryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

Qt::ItemFlags CEntryTableModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) |
           (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QVariant CEntryTableModel::data(const QModelIndex& index, int role) const {
    const CFileEntry* pEntry = EntryAt(index.row());
    if (pEntry == nullptr)
        return {};
    if (role == Qt::DisplayRole)
        return CellText(*pEntry, index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(index.column()));
    if (role == Qt::UserRole)
        return RowKey(*pEntry);
    return {};
}

QVariant CEntryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return ColumnTitle(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(section));
    return {};
}

QString CEntryTableModel::CellText(const CFileEntry& entry, int column) {
    switch (column) {
    case ColId:
        return QString::number(entry.m_id);
    case ColName:
        return QString::fromLatin1(EntryDisplayName(entry.m_name));
    case ColType:
        return QString::fromLatin1(EntryTypeText(entry.m_type));
    case ColSize:
        return QString::number(entry.m_size);
    case ColPacked:
        return QString::number(entry.m_packedSize);
    case ColOffset:
        return QString::number(entry.m_offset);
    default:
        return {};
    }
}

QString CEntryTableModel::ColumnTitle(int column) {
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(COLUMNS[column].title)
                                               : QString();
}

Qt::Alignment CEntryTableModel::ColumnAlignment(int column) {
    return column >= 0 && column < ColumnCount ? COLUMNS[column].alignment : LEFT;
}

int CEntryTableModel::ColumnWidth(int column) {
    return column >= 0 && column < ColumnCount ? COLUMNS[column].width : 0;
}

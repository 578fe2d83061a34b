#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

class CFileEntry;

// The rows of the entry list: one per entry, in list order, or while a
// filter is set only those whose ID, name or type text holds it (any case).
// A row holds only its entry; its texts are made when drawn, so a rebuild is
// one pass over the list and drawing stays virtual at any size.
class CEntryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColId, ColName, ColType, ColSize, ColPacked, ColOffset, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Replaces the rows by the entries from pHead along m_pNext (none for null).
    void Rebuild(const CFileEntry* pHead);
    void Clear() { Rebuild(nullptr); }
    // Shows only the entries that match text (all for an empty one), from
    // the list the rows were last built from.
    void SetFilter(const QString& text);
    bool IsFiltered() const { return !m_filter.isEmpty(); }
    // The entries in the list, shown or not.
    int TotalCount() const { return m_total; }

    // The entry a row shows (as it was when the rows were built), or null.
    CFileEntry* EntryAt(int row) const;
    // The row that shows pEntry, or -1.
    int RowOf(const CFileEntry* pEntry) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Rows can be dragged out (to export them).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // One cell's text, as the list and the printout show it.
    static QString CellText(const CFileEntry& entry, int column);
    static QString ColumnTitle(int column);
    static Qt::Alignment ColumnAlignment(int column);
    // Column widths in pixels at 100% scale.
    static int ColumnWidth(int column);

private:
    bool Matches(const CFileEntry& entry) const;

    std::vector<CFileEntry*> m_rows;
    const CFileEntry* m_pHead = nullptr;
    int m_total = 0;
    QString m_filter;
};

// The row key: type and ID OR-ed as they are, (m_type << 24) | m_id, and its
// two parts. It names its entry only for types 0 to 255 and IDs 0 to
// 16777215, so rows act through the entry they hold, never through the key.
std::uint32_t RowKey(const CFileEntry& entry);
inline std::int32_t KeyType(std::uint32_t key) {
    return static_cast<std::int32_t>(key >> 24);
}
inline std::int32_t KeyId(std::uint32_t key) {
    return static_cast<std::int32_t>(key & 0xFFFFFF);
}

#pragma once
// The record list: every entry of the open database, in display order. It is the
// only copy of the entries in memory; the full save writes it back in this order.

#include "storage/record_line.h"

#include <QAbstractTableModel>
#include <span>
#include <vector>

namespace kv {

enum RecordColumn {
    ColService,
    ColUsername,
    ColPassword, // the mask only
    ColComments,
    ColAddress,
    ColPassHidden, // the password in clear, in a column too narrow to show it
    ColRecorded,
    RecordColumnCount
};

class RecordListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    std::span<const Record> records() const { return m_rows; }
    const Record& at(int row) const { return m_rows.at(static_cast<std::size_t>(row)); }
    int count() const { return static_cast<int>(m_rows.size()); }

    void append(Record record);
    void appendAll(std::vector<Record> records);
    void removeAt(int row);
    // Overwrites everything but the service name.
    void replaceDetails(int row, const Record& details);
    void clear();

    // A header click: the clicked column becomes the key and the order flips,
    // whichever column was clicked before. Rows keep their relative order on ties.
    void sortOnHeaderClick(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    bool isSorted() const { return m_sorted; }

private:
    void sortRows();

    std::vector<Record> m_rows;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_sorted = false;
};

// The text shown in a column of a record.
QString columnText(const Record& record, int column);

} // namespace kv

#pragma once
// The record list: every entry of the open database, in display order. It is the
// only copy of the entries in memory; the full save writes it back in this order.
// The entries stay in their compact form; a cell becomes text only when a view
// asks for it.

#include "storage/record_table.h"

#include <QAbstractTableModel>
#include <optional>
#include <string_view>

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

    const RecordTable& table() const { return m_table; }
    Record at(int row) const { return m_table.record(row); }
    int count() const { return m_table.size(); }
    // The first row, in display order, whose service is exactly `service` (UTF-8).
    std::optional<int> findService(std::string_view service) const;

    void append(const Record& record);
    // A whole database at once (the load), taken over without copying.
    void appendAll(RecordTable records);
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
    QString cellText(int row, int column) const;
    void sortRows();

    RecordTable m_table;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_sorted = false;
};

} // namespace kv

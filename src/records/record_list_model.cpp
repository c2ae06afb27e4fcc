#include "records/record_list_model.h"

#include <algorithm>
#include <numeric>

namespace kv {

namespace {

const char* const HeaderTexts[RecordColumnCount] = {"Service",         "Username",   "Password", "Comments",
                                                    "Service Address", "Pass hiden", "Recorded"};

} // namespace

QString columnText(const Record& record, int column)
{
    switch (column) {
    case ColService:
        return QString::fromStdString(record.service);
    case ColUsername:
        return QString::fromStdString(record.username);
    case ColPassword:
        return QString::fromStdString(PasswordMask(record.password));
    case ColComments:
        return QString::fromStdString(record.comments);
    case ColAddress:
        return QString::fromStdString(record.address);
    case ColPassHidden:
        return QString::fromStdString(record.password);
    case ColRecorded:
        return QString::fromStdString(record.recorded);
    default:
        return {};
    }
}

int RecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int RecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RecordColumnCount;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return columnText(at(index.row()), index.column());
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= RecordColumnCount)
        return {};
    return QString::fromLatin1(HeaderTexts[section]);
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex& index) const
{
    // Never editable in place: a service is renamed only through Remove and Add.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void RecordListModel::append(Record record)
{
    beginInsertRows({}, count(), count());
    m_rows.push_back(std::move(record));
    endInsertRows();
}

void RecordListModel::appendAll(std::vector<Record> records)
{
    if (records.empty())
        return;
    beginInsertRows({}, count(), count() + static_cast<int>(records.size()) - 1);
    if (m_rows.empty())
        m_rows = std::move(records);
    else
        m_rows.insert(m_rows.end(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    endInsertRows();
    // A list that sorts keeps a reloaded database in its order too.
    if (m_sorted)
        sortRows();
}

void RecordListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void RecordListModel::replaceDetails(int row, const Record& details)
{
    if (row < 0 || row >= count())
        return;
    Record& target = m_rows[static_cast<std::size_t>(row)];
    const std::string service = target.service;
    target = details;
    target.service = service;
    emit dataChanged(index(row, 0), index(row, RecordColumnCount - 1));
}

void RecordListModel::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

void RecordListModel::sortOnHeaderClick(int column)
{
    if (column < 0 || column >= RecordColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sorted = true;
    sortRows();
}

void RecordListModel::sortRows()
{
    const int n = count();
    if (n < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    // Case-folded keys, computed once per row, keep a sort of tens of thousands of
    // rows quick and independent of the user's locale.
    std::vector<QString> keys;
    keys.reserve(static_cast<std::size_t>(n));
    for (const Record& record : m_rows)
        keys.push_back(columnText(record, m_sortColumn).toCaseFolded());

    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QString& ka = keys[static_cast<std::size_t>(a)];
        const QString& kb = keys[static_cast<std::size_t>(b)];
        return descending ? kb < ka : ka < kb;
    });

    std::vector<Record> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(static_cast<std::size_t>(n));
    for (int newRow = 0; newRow < n; ++newRow) {
        const int oldRow = order[static_cast<std::size_t>(newRow)];
        newRowOf[static_cast<std::size_t>(oldRow)] = newRow;
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(oldRow)]));
    }
    m_rows = std::move(sorted);

    // Keep the selection and the current row on the same records.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before)
        after.push_back(idx.isValid() ? index(newRowOf[static_cast<std::size_t>(idx.row())], idx.column()) : idx);
    changePersistentIndexList(before, after);

    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace kv

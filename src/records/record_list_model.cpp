#include "records/record_list_model.h"

#include "storage/ansi_text.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace kv {

namespace {

const char* const HeaderTexts[RecordColumnCount] = {"Service",         "Username",   "Password", "Comments",
                                                    "Service Address", "Pass hiden", "Recorded"};

// Every Windows-1252 character lies in the Basic Multilingual Plane: one QChar each.
const std::array<char16_t, 256>& unicodeOf()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] = static_cast<char16_t>(ansiCodePoint(static_cast<unsigned char>(b)));
        return t;
    }();
    return table;
}

// Each character case-folded, so a sort ignores letter case the way
// QString::toCaseFolded does, without making a string for every row.
const std::array<char16_t, 256>& foldedOf()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (std::size_t b = 0; b < 256; ++b)
            t[b] = QChar(unicodeOf()[b]).toCaseFolded().unicode();
        return t;
    }();
    return table;
}

QString textOf(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    const auto& unicode = unicodeOf();
    for (const char c : bytes)
        *out++ = QChar(unicode[static_cast<unsigned char>(c)]);
    return text;
}

RecordField fieldOf(int column)
{
    switch (column) {
    case ColService:
        return RecordField::Service;
    case ColUsername:
        return RecordField::Username;
    case ColPassword:
    case ColPassHidden:
        return RecordField::Password;
    case ColComments:
        return RecordField::Comments;
    case ColAddress:
        return RecordField::Address;
    default:
        return RecordField::Recorded;
    }
}

bool foldedLess(std::string_view a, std::string_view b)
{
    const auto& folded = foldedOf();
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = folded[static_cast<unsigned char>(a[i])];
        const char16_t y = folded[static_cast<unsigned char>(b[i])];
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

} // namespace

QString RecordListModel::cellText(int row, int column) const
{
    const std::string_view bytes = table().bytes(row, fieldOf(column));
    if (column == ColPassword)
        return QString(static_cast<qsizetype>(bytes.size()), QLatin1Char('*'));
    return textOf(bytes);
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
    if (!index.isValid() || index.row() >= count() || index.column() >= RecordColumnCount)
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return cellText(index.row(), index.column());
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

RecordListModel::RecordListModel(EntryList& entries, QObject* parent) : QAbstractTableModel(parent), m_entries(&entries)
{
    m_entries->setListener(this);
}

RecordListModel::~RecordListModel()
{
    m_entries->setListener(nullptr);
}

void RecordListModel::entriesAboutToBeInserted(int first, int last)
{
    beginInsertRows({}, first, last);
}

void RecordListModel::entriesInserted()
{
    endInsertRows();
}

void RecordListModel::entryAboutToBeRemoved(int row)
{
    beginRemoveRows({}, row, row);
}

void RecordListModel::entryRemoved()
{
    endRemoveRows();
}

void RecordListModel::entryChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, RecordColumnCount - 1));
}

void RecordListModel::entriesAboutToBeReset()
{
    beginResetModel();
}

void RecordListModel::entriesReset()
{
    // A list that sorts keeps a reloaded database in its order too. The reset
    // lets go of every row, so nothing is to be carried across the reorder.
    if (m_sorted && count() > 1)
        m_entries->reorder(sortedOrder());
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

std::vector<int> RecordListModel::sortedOrder() const
{
    const int n = count();
    // Rows are compared where they lie; only the order of their numbers moves. The
    // mask column compares the masks, so in effect the passwords' lengths.
    const RecordField field = fieldOf(m_sortColumn);
    const bool masks = m_sortColumn == ColPassword;
    const RecordTable& rows = table();
    const auto less = [&](int a, int b) {
        const std::string_view x = rows.bytes(a, field);
        const std::string_view y = rows.bytes(b, field);
        return masks ? x.size() < y.size() : foldedLess(x, y);
    };
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (m_sortOrder == Qt::DescendingOrder)
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(b, a); });
    else
        std::stable_sort(order.begin(), order.end(), less);
    return order;
}

void RecordListModel::sortRows()
{
    const int n = count();
    if (n < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    const std::vector<int> order = sortedOrder();
    m_entries->reorder(order);

    // Keep the selection and the current row on the same records.
    std::vector<int> newRowOf(static_cast<std::size_t>(n));
    for (int newRow = 0; newRow < n; ++newRow)
        newRowOf[static_cast<std::size_t>(order[static_cast<std::size_t>(newRow)])] = newRow;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before)
        after.push_back(idx.isValid() ? index(newRowOf[static_cast<std::size_t>(idx.row())], idx.column()) : idx);
    changePersistentIndexList(before, after);

    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace kv

#include "records/shown_records_model.h"

namespace kv {

void ShownRecordsModel::setRecords(RecordListModel* records)
{
    m_records = records;
    setSourceModel(records);
}

void ShownRecordsModel::setRecordsShown(bool shown)
{
    // The column count stays, so the view keeps its column widths and hidden columns.
    QAbstractItemModel* wanted = shown ? static_cast<QAbstractItemModel*>(m_records) : &m_noRecords;
    if (sourceModel() != wanted)
        setSourceModel(wanted);
}

QVariant ShownRecordsModel::data(const QModelIndex& index, int role) const
{
    if (index.column() == ColPassHidden || index.column() == ColRecorded)
        return {};
    return QIdentityProxyModel::data(index, role);
}

} // namespace kv

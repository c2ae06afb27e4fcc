#include "records/shown_records_model.h"

#include "records/record_list_model.h"

namespace kv {

QVariant ShownRecordsModel::data(const QModelIndex& index, int role) const
{
    if (index.column() == ColPassHidden || index.column() == ColRecorded)
        return {};
    return QIdentityProxyModel::data(index, role);
}

} // namespace kv

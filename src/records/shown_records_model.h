#pragma once
// What the record list shows: the records as the model holds them, except the two
// columns too narrow to see ("Pass hiden" and "Recorded"), which show nothing at
// all. The view, and whatever reads it (a screen reader, a copy), so never meets
// the clear password; the full save reads the model itself. While the window is
// locked it shows no rows at all, to anybody.

#include "records/record_list_model.h"

#include <QIdentityProxyModel>

namespace kv {

class ShownRecordsModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    void setRecords(RecordListModel* records);
    // Off: the list has its columns and headers and not one row, so nothing can
    // be read or selected behind the lock's panel. On: the rows as they are now.
    void setRecordsShown(bool shown);

    QVariant data(const QModelIndex& index, int role) const override;

private:
    RecordListModel* m_records = nullptr;
    EntryList m_noEntries;                    // never holds one
    RecordListModel m_noRecords{m_noEntries}; // same columns, no rows
};

} // namespace kv

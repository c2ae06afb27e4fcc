#pragma once
// What the record list shows: the records as the model holds them, except the two
// columns too narrow to see ("Pass hiden" and "Recorded"), which show nothing at
// all. The view, and whatever reads it (a screen reader, a copy), so never meets
// the clear password; the full save reads the model itself.

#include <QIdentityProxyModel>

namespace kv {

class ShownRecordsModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override;
};

} // namespace kv

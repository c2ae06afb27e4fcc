#pragma once
// The record list: the entries of the open database, as a view shows them. The
// entries themselves live in an EntryList (the only copy in memory, which the
// full save writes back in this order); they stay in their compact form, and a
// cell becomes text only when a view asks for it. The model changes no entry:
// whoever changes the list (the vault) does so there, and the model follows what
// the list tells it. Its one say is the order, which a sorted list keeps through
// a reload.

#include "vault/entry_list.h"

#include <QAbstractTableModel>
#include <optional>
#include <string_view>
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

class RecordListModel : public QAbstractTableModel, private EntryListener
{
    Q_OBJECT
public:
    // Over `entries`, which must outlive the model.
    explicit RecordListModel(EntryList& entries, QObject* parent = nullptr);
    ~RecordListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const RecordTable& table() const { return m_entries->table(); }
    Record at(int row) const { return m_entries->at(row); }
    int count() const { return m_entries->size(); }
    // The first row, in display order, whose service is exactly `service` (UTF-8).
    std::optional<int> findService(std::string_view service) const { return m_entries->findService(service); }

    // A header click: the clicked column becomes the key and the order flips,
    // whichever column was clicked before. Rows keep their relative order on ties.
    // A list loaded anew (a reset of the entries) is put in the same order.
    void sortOnHeaderClick(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    bool isSorted() const { return m_sorted; }

private:
    void entriesAboutToBeInserted(int first, int last) override;
    void entriesInserted() override;
    void entryAboutToBeRemoved(int row) override;
    void entryRemoved() override;
    void entryChanged(int row) override;
    void entriesAboutToBeReset() override;
    void entriesReset() override;

    QString cellText(int row, int column) const;
    // Row i of the sorted list is row order[i] of the list as it stands.
    std::vector<int> sortedOrder() const;
    void sortRows();

    EntryList* m_entries;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_sorted = false;
};

} // namespace kv

#pragma once
// The record list ("ListView1"): the open database's entries, one row each, never
// a password in clear. A click or Enter loads a row into the edit fields; a header
// click sorts; the right button, the Menu key or Shift+F10 opens the "Other" menu
// with "Show grid".

#include "records/record_list_model.h"
#include "records/shown_records_model.h"
#include "settings/settings_store.h"

#include <QTableView>

class QAction;
class QMenu;

namespace kv {

class RecordList : public QTableView
{
    Q_OBJECT
public:
    // Shows `records`; the "Other" menu hangs off `window`, whose font it takes.
    RecordList(RecordListModel& records, SettingsStore& settings, QWidget* window);

    // What the list shows of the records; the lock shows none of them.
    ShownRecordsModel& shownRecords() { return m_shown; }
    // The grid as the settings store has it ("True", or a number other than 0: on).
    void loadGridSetting();

signals:
    // A row was clicked with the left button, or Enter pressed on it: a copy of its record.
    void recordChosen(const kv::Record& record);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void chooseSelectedRow();
    void sortOnHeader(int section);
    void toggleGrid();
    // At the current row, its first item active.
    void openMenuFromKeyboard();

    RecordListModel& m_records;
    SettingsStore& m_settings;
    ShownRecordsModel m_shown;
    QMenu* m_menu = nullptr;         // Tother, "Other"
    QAction* m_gridAction = nullptr; // mnulines
    bool m_itemClickPending = false;
};

} // namespace kv

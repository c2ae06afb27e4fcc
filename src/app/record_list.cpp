#include "app/record_list.h"

#include "app/object_names.h"
#include "app/widget_helpers.h"
#include "storage/database_choice.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace kv {

RecordList::RecordList(RecordListModel& records, SettingsStore& settings, QWidget* window)
    : QTableView(window), m_records(records), m_settings(settings)
{
    setObjectName(objectNames::RecordList);
    place(this, {105, 2190, 7260, 3375});
    setFont(tahoma(9));
    m_shown.setRecords(&m_records);
    setModel(&m_shown);
    setAccessibleName(QStringLiteral("Entries"));
    // Tab leaves the list for the next control instead of walking its cells.
    setTabKeyNavigation(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setShowGrid(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
    QHeaderView* header = horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setMinimumSectionSize(1);
    for (int column = 0; column < RecordColumnCount; ++column)
        header->resizeSection(column, toPixels(1440));
    // The clear password and the recorded time ride along in columns too narrow to
    // show anything, and nobody can drag them wider, nor move the focus into them.
    for (int column : {int(ColPassHidden), int(ColRecorded)}) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        header->resizeSection(column, 1);
        setColumnHidden(column, true);
    }
    connect(header, &QHeaderView::sectionClicked, this, &RecordList::sortOnHeader);

    m_menu = new QMenu(QStringLiteral("Other"), window);
    m_menu->setObjectName(objectNames::ListMenu);
    m_gridAction = makeAction(objectNames::GridItem, QStringLiteral("Show grid"), m_menu, true, false);
    m_menu->addAction(m_gridAction);
    connect(m_gridAction, &QAction::triggered, this, &RecordList::toggleGrid);
}

void RecordList::loadGridSetting()
{
    const std::string text = m_settings.get(GridSetting);
    const bool on = QString::fromStdString(text).compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0 ||
                    settingNumber(text) != 0;
    m_gridAction->setChecked(on);
    setShowGrid(on);
}

void RecordList::toggleGrid()
{
    // The menu item has already flipped itself; the grid flips from its own state.
    setShowGrid(!showGrid());
    m_settings.save(GridSetting, m_gridAction->isChecked() ? "True" : "False");
}

void RecordList::sortOnHeader(int section)
{
    m_records.sortOnHeaderClick(section);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(m_records.sortColumn(), m_records.sortOrder());
}

// The view's own handling of the buttons would select on press, load nothing and
// edit on a double click; the list does as the design says instead.
void RecordList::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    // A press on empty space keeps the selection: the pending load still takes it.
    if (!index.isValid() || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton))
        return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_itemClickPending = true;
}

void RecordList::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_itemClickPending)
        return;
    if (event->button() == Qt::LeftButton) {
        chooseSelectedRow();
        m_itemClickPending = false;
    } else if (event->button() == Qt::RightButton) {
        m_menu->popup(event->globalPosition().toPoint());
    }
}

void RecordList::mouseDoubleClickEvent(QMouseEvent*) {}

void RecordList::keyPressEvent(QKeyEvent* event)
{
    // The view would copy the current cell, which may be the clear password.
    if (event->matches(QKeySequence::Copy))
        return;
    const QKeyCombination key = event->keyCombination();
    if (key == QKeyCombination(Qt::Key_Menu) || key == QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)) {
        openMenuFromKeyboard();
        return;
    }
    // Moving through the list loads nothing; Enter loads the row, as a click does.
    if (key == QKeyCombination(Qt::Key_Return) || key == QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter)) {
        chooseSelectedRow();
        return;
    }
    QTableView::keyPressEvent(event);
}

void RecordList::contextMenuEvent(QContextMenuEvent* event)
{
    // The Menu key, which the platform turns into a request for a context menu.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        openMenuFromKeyboard();
        return;
    }
    QTableView::contextMenuEvent(event);
}

void RecordList::openMenuFromKeyboard()
{
    // The list is disabled while the window is locked: no menu then.
    if (!isEnabled())
        return;
    const QModelIndex current = currentIndex();
    const QRect row = current.isValid() ? visualRect(current) : QRect();
    m_menu->popup(viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0)));
    if (!m_menu->actions().isEmpty())
        m_menu->setActiveAction(m_menu->actions().first());
}

void RecordList::chooseSelectedRow()
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    // A copy: a field change may unlock the window, which can touch the list.
    const Record record = m_records.at(rows.first().row());
    emit recordChosen(record);
}

} // namespace kv

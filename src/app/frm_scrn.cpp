#include "app/frm_scrn.h"

#include "app/controls.h"
#include "app/lock_gate.h"
#include "app/object_names.h"
#include "app/shape_widget.h"
#include "lock/lock_record.h"
#include "product/product.h"
#include "records/editing_commands.h"
#include "storage/database_choice.h"
#include "tools/clipboard_copy.h"
#include "vault/entry_rules.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QTableView>

// The images live in the window's library; a static library's resources are registered by hand.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace kv {

namespace {

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "True", or any number other than 0, switches the grid on.
bool settingIsOn(const std::string& text)
{
    return QString::fromStdString(text).compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0 ||
           settingNumber(text) != 0;
}

bool isCopyShortcut(const QKeyEvent* key)
{
    const QKeyCombination combination = key->keyCombination();
    return combination == QKeyCombination(Qt::ControlModifier, Qt::Key_A) ||
           combination == QKeyCombination(Qt::ControlModifier, Qt::Key_U) ||
           combination == QKeyCombination(Qt::ControlModifier, Qt::Key_P);
}

} // namespace

FrmScrn::FrmScrn(Environment env, QWidget* parent)
    : QWidget(parent), m_env(std::move(env)), m_settings(*m_env.registry),
      m_database(m_env.dataFolder.empty() ? m_env.programFolder : m_env.dataFolder,
                 m_env.fileOps ? *m_env.fileOps : realFileOps(), !m_env.dataFolder.empty()),
      m_vault(m_database, m_settings), m_model(m_vault.entries())
{
    // The stored entries are read while the window is being built.
    m_database.choose(DataFileBaseFor(databaseIndexFromSetting(m_settings.get(DatabaseSetting))));
    m_database.loadAhead();

    registerResources();
    installAccessibleInterfaces();
    setObjectName(objectNames::window());
    setWindowTitle(fromView(WindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.png")));
    resize(toPixels(7620), toPixels(5655));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    buildControls();
    buildMenus();

    m_commands = std::make_unique<EditingCommands>(EditingWidgets{editFields(), m_recordList, m_retainUserAction},
                                                   m_vault, m_env.clock);
    connect(m_commands.get(), &EditingCommands::messageShown, this, &FrmScrn::showMessage);
    connect(m_commands.get(), &EditingCommands::captionChanged, this, &FrmScrn::setWindowTitle);
    connect(m_commands.get(), &EditingCommands::fieldsEmptied, this, &FrmScrn::SetAddressPrefix);
    for (const ToolbarCommand command :
         {ToolbarCommand::Add, ToolbarCommand::Remove, ToolbarCommand::Replace, ToolbarCommand::Clear}) {
        connect(m_commandButtons[static_cast<std::size_t>(command) - 1], &QAction::triggered, this,
                [this, command] { m_commands->run(command); });
    }

    const LockWidgets lock{m_editArea,
                           m_toolsStrip,
                           m_lockPanel,
                           m_recordList,
                           &m_shownRecords,
                           m_lockMessage,
                           field(FieldIndex::Username),
                           field(FieldIndex::Password)};
    m_lock = new LockGate(lock, m_settings, this);
    connect(m_lock, &LockGate::lockedChanged, this, &FrmScrn::onLockedChanged);

    for (int i = 0; i < 3; ++i) {
        connect(m_databaseBoxes[i], &CheckBox::mouseReleased, this,
                [this, i](Qt::MouseButton button) { onDatabaseBoxReleased(i, button); });
        connect(m_databaseBoxes[i], &CheckBox::chosen, this, [this, i] { chooseDatabaseFromKeyboard(i); });
    }
    // F10 is the platform's key for a window's menu; this window's menu opens at "Tools".
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, &FrmScrn::openToolsMenuFromKeyboard);
    connect(m_toolsLabel, &MenuLabel::pressed, this, &FrmScrn::openToolsMenuFromKeyboard);
    connect(m_hideAction, &QAction::triggered, this, &FrmScrn::toggleHide);
    wireTools();

    m_toolsLabel->installEventFilter(this);
    for (EditField* edit : m_fields)
        edit->installEventFilter(this);
    m_recordList->installEventFilter(this);
    connect(m_gridAction, &QAction::triggered, this, &FrmScrn::toggleGrid);
    connect(m_quitAction, &QAction::triggered, this, &FrmScrn::QuitApplication);
    connect(m_recordList->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_model.sortOnHeaderClick(section);
        m_recordList->horizontalHeader()->setSortIndicatorShown(true);
        m_recordList->horizontalHeader()->setSortIndicator(m_model.sortColumn(), m_model.sortOrder());
    });

    loadStep();
}

FrmScrn::~FrmScrn() = default;

EditFields FrmScrn::editFields() const
{
    return {field(FieldIndex::Address), field(FieldIndex::Service), field(FieldIndex::Username),
            field(FieldIndex::Comments), field(FieldIndex::Password)};
}

void FrmScrn::loadStep()
{
    const Credentials lock = ReadLockRecord(m_settings).value_or(Credentials{});

    const bool grid = settingIsOn(m_settings.get(GridSetting));
    m_gridAction->setChecked(grid);
    m_recordList->setShowGrid(grid);

    // The database itself was chosen, and its loading started, before the controls were built.
    for (int i = 0; i < 3; ++i)
        m_databaseBoxes[i]->setChecked(DataFileBaseFor(i) == m_database.base());

    m_lock->applyAtStart(lock);
}

void FrmScrn::loadDatabase()
{
    RecordTable rows;
    const bool ok = m_database.load(rows);
    m_model.appendAll(std::move(rows));
    if (!ok)
        showMessage(fromView(fileFailure("read", m_database)));
}

void FrmScrn::QuitApplication()
{
    m_model.clear();
    QApplication::closeAllWindows();
}

void FrmScrn::closeEvent(QCloseEvent* event)
{
    // Quit closes the window too. A password still on the clipboard now would outlive the program in
    // the desktop's clipboard manager.
    m_clipboardClearer->clearNow();
    QWidget::closeEvent(event);
}

void FrmScrn::showMessage(const QString& text)
{
    setWindowTitle(fromView(AppTitle) + QStringLiteral(" - ") + text);
}

bool FrmScrn::isLocked() const
{
    return m_lock && m_lock->isLocked();
}

void FrmScrn::onLockedChanged(bool locked)
{
    m_commands->setLocked(locked);
    if (locked)
        return;
    ClearEditFields();
    layoutPass();
}

void FrmScrn::ClearEditFields()
{
    m_commands->ClearEditFields();
}

void FrmScrn::toggleGrid()
{
    // The menu item has already flipped itself; the grid flips from its own state.
    m_recordList->setShowGrid(!m_recordList->showGrid());
    m_settings.save(GridSetting, m_gridAction->isChecked() ? "True" : "False");
}

void FrmScrn::toggleHide()
{
    // The item has flipped its own check mark; the field's mask flips from its own state.
    EditField* password = field(FieldIndex::Password);
    password->setEchoMode(password->echoMode() == QLineEdit::Normal ? QLineEdit::Password : QLineEdit::Normal);
}

void FrmScrn::onDatabaseBoxReleased(int index, Qt::MouseButton button)
{
    if (button == Qt::LeftButton) {
        for (int i = 0; i < 3; ++i) {
            if (i != index)
                m_databaseBoxes[i]->setChecked(false);
        }
        m_database.choose(DataFileBaseFor(index));
        m_settings.save(DatabaseSetting, std::to_string(index));
    }
    m_model.clear();
    loadDatabase();
}

bool FrmScrn::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && isCopyShortcut(static_cast<QKeyEvent*>(event))) {
        // The edit fields would take Ctrl+A for themselves; the copy items act
        // anywhere in the window.
        event->ignore();
        return true;
    }
    if (watched == m_recordList && event->type() == QEvent::KeyPress)
        return onListKey(static_cast<QKeyEvent*>(event));
    if (watched == m_recordList && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        // The Menu key, which the platform turns into a request for a context menu.
        openListMenuFromKeyboard();
        return true;
    }
    if (watched == m_toolsLabel && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_toolsLabel->rect().contains(mouse->position().toPoint()))
            openToolsMenu(QCursor::pos());
        return false;
    }
    if (watched == m_recordList->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            onListPress(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::MouseButtonRelease:
            onListRelease(static_cast<QMouseEvent*>(event));
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmScrn::openToolsMenu(const QPoint& at)
{
    // The label is drawn disabled while locked, but its events still reach the
    // window's filter: nothing of the menu until the user has unlocked.
    if (isLocked())
        return;
    m_fileMenu->popup(at);
}

void FrmScrn::openToolsMenuFromKeyboard()
{
    if (isLocked())
        return;
    openToolsMenu(m_toolsLabel->mapToGlobal(QPoint(0, m_toolsLabel->height())));
    if (!m_fileMenu->actions().isEmpty())
        m_fileMenu->setActiveAction(m_fileMenu->actions().first());
}

void FrmScrn::openListMenuFromKeyboard()
{
    if (isLocked())
        return;
    const QModelIndex current = m_recordList->currentIndex();
    const QRect row = current.isValid() ? m_recordList->visualRect(current) : QRect();
    m_listMenu->popup(m_recordList->viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0)));
    if (!m_listMenu->actions().isEmpty())
        m_listMenu->setActiveAction(m_listMenu->actions().first());
}

void FrmScrn::chooseDatabaseFromKeyboard(int index)
{
    // Opening this database, as a left click on its box does; the box ends up checked.
    m_databaseBoxes[index]->setChecked(true);
    onDatabaseBoxReleased(index, Qt::LeftButton);
}

bool FrmScrn::onListKey(QKeyEvent* event)
{
    // The view would copy the current cell, which may be the clear password.
    if (event->matches(QKeySequence::Copy))
        return true;
    const QKeyCombination key = event->keyCombination();
    if (key == QKeyCombination(Qt::Key_Menu) || key == QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)) {
        openListMenuFromKeyboard();
        return true;
    }
    // Moving through the list loads nothing; Enter loads the row, as a click does.
    if (key == QKeyCombination(Qt::Key_Return) || key == QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter)) {
        loadSelectedRowIntoFields();
        return true;
    }
    return false;
}

void FrmScrn::onListPress(QMouseEvent* event)
{
    m_recordList->setFocus(Qt::MouseFocusReason);
    const QModelIndex index = m_recordList->indexAt(event->position().toPoint());
    // A press on empty space keeps the selection: the pending load still takes it.
    if (!index.isValid() || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton))
        return;
    m_recordList->selectionModel()->setCurrentIndex(index,
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_itemClickPending = true;
}

void FrmScrn::onListRelease(QMouseEvent* event)
{
    if (!m_itemClickPending)
        return;
    if (event->button() == Qt::LeftButton) {
        loadSelectedRowIntoFields();
        m_itemClickPending = false;
    } else if (event->button() == Qt::RightButton) {
        m_listMenu->popup(event->globalPosition().toPoint());
    }
}

void FrmScrn::loadSelectedRowIntoFields()
{
    const QModelIndexList rows = m_recordList->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    // A copy: a field change may unlock the window, which can touch the list.
    const Record record = m_model.at(rows.first().row());
    m_commands->LoadRecord(record);
}

} // namespace kv

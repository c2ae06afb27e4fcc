#include "app/frm_scrn.h"

#include "app/controls.h"
#include "app/lock_gate.h"
#include "app/shape_widget.h"
#include "records/editing_commands.h"
#include "storage/database_choice.h"
#include "storage/line_cipher.h"

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
#include <QTableView>

// The images live in the GUI library; a static library's resources are registered by hand.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace kv {

namespace {

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
    : QWidget(parent), m_env(std::move(env)), m_settings(*m_env.registry), m_database(m_env.programFolder)
{
    registerResources();
    setObjectName(QStringLiteral("frmScrn"));
    setWindowTitle(QString::fromLatin1(WindowTitle.data(), WindowTitle.size()));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.png")));
    resize(toPixels(7620), toPixels(5655));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    buildControls();
    buildMenus();

    EditingWidgets editing;
    std::copy(Text1.begin(), Text1.end(), editing.fields.begin());
    editing.list = ListView1;
    editing.retainUser = mnuRetainUser;
    EditingHooks hooks;
    hooks.clock = m_env.clock;
    hooks.isLocked = [this] { return isLocked(); };
    hooks.setAddressPrefix = [this] { SetAddressPrefix(); };
    hooks.setCaption = [this](const QString& caption) { setWindowTitle(caption); };
    m_commands = std::make_unique<EditingCommands>(editing, m_model, m_database, m_settings, std::move(hooks));
    for (int i = 0; i < 4; ++i)
        connect(toolbarButtons[i], &QAction::triggered, this, [this, i] { m_commands->run(i + 1); });

    m_lock = new LockGate(
        {Frame1, Frame2, Frame3, ListView1, Label3, Text1[EditUsername], Text1[EditPassword]}, m_settings,
        [this] { ClearEditFields(); }, [this] { layoutPass(); }, this);

    for (int i = 0; i < 3; ++i)
        connect(Check1[i], &CheckBox::mouseReleased, this,
                [this, i](Qt::MouseButton button) { onDatabaseBoxReleased(i, button); });
    connect(mnuHide, &QAction::triggered, this, &FrmScrn::toggleHide);
    wireTools();

    Label2->installEventFilter(this);
    for (EditField* field : Text1)
        field->installEventFilter(this);
    ListView1->installEventFilter(this);
    connect(mnulines, &QAction::triggered, this, &FrmScrn::toggleGrid);
    connect(mnuQuit, &QAction::triggered, this, &FrmScrn::QuitApplication);
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_model.sortOnHeaderClick(section);
        ListView1->horizontalHeader()->setSortIndicatorShown(true);
        ListView1->horizontalHeader()->setSortIndicator(m_model.sortColumn(), m_model.sortOrder());
    });

    loadStep();
}

FrmScrn::~FrmScrn() = default;

void FrmScrn::loadStep()
{
    CredentialSlots lock;
    LockRecordIO(m_settings, lock, LockRead);

    const bool grid = settingIsOn(m_settings.get("102"));
    mnulines->setChecked(grid);
    ListView1->setShowGrid(grid);

    const int index = databaseIndexFromSetting(m_settings.get("103"));
    Check1[index]->setChecked(true);
    m_database.choose(DataFileBaseFor(index));

    m_lock->applyAtStart(lock);
}

void FrmScrn::loadDatabase()
{
    std::vector<Record> rows;
    const bool ok = m_database.load(rows);
    m_model.appendAll(std::move(rows));
    if (!ok)
        showMessage(QStringLiteral("Could not read %1.ksd").arg(dataFileBase()));
}

void FrmScrn::QuitApplication()
{
    m_model.clear();
    QApplication::closeAllWindows();
}

void FrmScrn::showMessage(const QString& text)
{
    setWindowTitle(QString::fromLatin1(AppTitle.data(), AppTitle.size()) + QStringLiteral(" - ") + text);
}

bool FrmScrn::isLocked() const
{
    return Frame3->isVisibleTo(this);
}

void FrmScrn::ClearEditFields()
{
    m_commands->ClearEditFields();
}

void FrmScrn::toggleGrid()
{
    // The menu item has already flipped itself; the grid flips from its own state.
    ListView1->setShowGrid(!ListView1->showGrid());
    m_settings.save("102", mnulines->isChecked() ? "True" : "False");
}

void FrmScrn::toggleHide()
{
    // The item has flipped its own check mark; the field's mask flips from its own state.
    EditField* password = Text1[EditPassword];
    password->setEchoMode(password->echoMode() == QLineEdit::Normal ? QLineEdit::Password : QLineEdit::Normal);
}

void FrmScrn::onDatabaseBoxReleased(int index, Qt::MouseButton button)
{
    if (button == Qt::LeftButton) {
        for (int i = 0; i < 3; ++i) {
            if (i != index)
                Check1[i]->setChecked(false);
        }
        m_database.choose(DataFileBaseFor(index));
        m_settings.save("103", std::to_string(index));
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
    if (watched == ListView1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        // The view would copy the current cell, which may be the clear password.
        return true;
    }
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && Label2->rect().contains(mouse->position().toPoint()))
            openToolsMenu(QCursor::pos());
        return false;
    }
    if (watched == ListView1->viewport()) {
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
    Tmenu->popup(at);
}

void FrmScrn::onListPress(QMouseEvent* event)
{
    ListView1->setFocus(Qt::MouseFocusReason);
    const QModelIndex index = ListView1->indexAt(event->position().toPoint());
    // A press on empty space keeps the selection: the pending load still takes it.
    if (!index.isValid() || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton))
        return;
    ListView1->selectionModel()->setCurrentIndex(index,
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
        Tother->popup(event->globalPosition().toPoint());
    }
}

int FrmScrn::selectedRow() const
{
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void FrmScrn::loadSelectedRowIntoFields()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    // A copy: a field change may unlock the window, which can touch the list.
    const Record record = m_model.at(row);
    Text1[EditAddress]->setText(QString::fromStdString(record.address));
    Text1[EditService]->setText(QString::fromStdString(record.service));
    Text1[EditUsername]->setText(QString::fromStdString(record.username));
    Text1[EditPassword]->setText(QString::fromStdString(record.password));
    Text1[EditComments]->setText(QString::fromStdString(record.comments));
    Text1[EditPassword]->setToolTip(QString::fromStdString(record.password));
    QString caption = QString::fromLatin1(WindowTitle.data(), WindowTitle.size());
    if (!record.recorded.empty())
        caption += QStringLiteral(" - Modified: ") + QString::fromStdString(record.recorded);
    setWindowTitle(caption);
}

} // namespace kv

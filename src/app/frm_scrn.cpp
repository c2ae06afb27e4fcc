#include "app/frm_scrn.h"

#include "app/accessible_interfaces.h"
#include "app/check_box.h"
#include "app/edit_area.h"
#include "app/lock_gate.h"
#include "app/menu_label.h"
#include "app/object_names.h"
#include "app/record_list.h"
#include "app/seal_gate.h"
#include "app/shape_widget.h"
#include "app/shortcut_pass_through.h"
#include "app/tools_strip.h"
#include "app/widget_helpers.h"
#include "lock/lock_record.h"
#include "product/product.h"
#include "records/view_text.h"
#include "storage/conflict_copies.h"
#include "storage/database_choice.h"
#include "tools/frm_gen.h"
#include "tools/help.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>

// The images live in the window's library; a static library's resources are registered by hand.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace kv {

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
    setObjectName(objectNames::Window);
    setWindowTitle(fromView(WindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.png")));
    resize(toPixels(7620), toPixels(5655));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setFont(tahoma(8));

    // Made in this order, which is the order they lie in (the shapes underneath) and
    // the order a screen reader meets them in.
    buildShapes();
    m_toolsStrip = new ToolsStrip(this);
    connect(m_toolsStrip, &ToolsStrip::databaseChosen, this, &FrmScrn::openDatabase);
    connect(m_toolsStrip, &ToolsStrip::reloadAsked, this, &FrmScrn::loadDatabase);

    m_editArea = new EditArea(m_vault, m_env, this);
    connect(m_editArea, &EditArea::messageShown, this, &FrmScrn::showMessage);
    connect(m_editArea, &EditArea::captionChanged, this, &FrmScrn::setWindowTitle);

    m_recordList = new RecordList(m_model, m_settings, this);
    m_editArea->setRecordList(m_recordList);
    connect(m_recordList, &RecordList::recordChosen, m_editArea, &EditArea::LoadRecord);

    buildLockPanel();
    chainTabOrder();
    buildFileMenu();

    m_lock =
        new LockGate({m_editArea, m_toolsStrip, m_lockPanel, m_recordList, &m_recordList->shownRecords(), m_lockMessage,
                      m_editArea->field(FieldIndex::Username), m_editArea->field(FieldIndex::Password)},
                     m_settings, this);
    connect(m_lock, &LockGate::lockedChanged, this, &FrmScrn::onLockedChanged);
    m_seal = new SealGate({m_lockPanel, m_lockMessage, m_recordList, &m_recordList->shownRecords(),
                           m_editArea->field(FieldIndex::Password)},
                          m_database, this);
    connect(m_seal, &SealGate::coveredChanged, this, &FrmScrn::onSealCoveredChanged);
    connect(m_seal, &SealGate::messageShown, this, &FrmScrn::showMessage);
    connect(m_seal, &SealGate::captionChanged, this, &FrmScrn::setWindowTitle);
    connect(m_seal, &SealGate::keyOpened, this, &FrmScrn::loadDatabase);

    connect(new HelpKey(this), &HelpKey::helpAsked, this, &FrmScrn::openHelp);

    loadStep();
}

FrmScrn::~FrmScrn() = default;

void FrmScrn::buildShapes()
{
    // Drawn on the window behind the list.
    m_shapes[2] = new ShapeWidget(ShapeWidget::Kind::Rectangle, objectNames::shape(7), this);
    place(m_shapes[2], {30, 2385, 7335, 2970});
    m_shapes[0] = new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, objectNames::shape(5), this);
    place(m_shapes[0], {30, 2130, 7350, 345});
    m_shapes[1] = new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, objectNames::shape(6), this);
    place(m_shapes[1], {30, 5280, 7350, 345});
    m_leftLine = new ShapeWidget(ShapeWidget::Kind::VerticalLine, objectNames::LeftLine, this);
    m_leftLine->setLine(30, 2355, 5385);
    m_rightLine = new ShapeWidget(ShapeWidget::Kind::VerticalLine, objectNames::RightLine, this);
    m_rightLine->setLine(7365, 2355, 5475);
}

void FrmScrn::buildLockPanel()
{
    // Above the list, hidden until the window is locked.
    m_lockPanel = new QFrame(this);
    m_lockPanel->setObjectName(objectNames::LockPanel);
    makeSunkenPanel(m_lockPanel);
    place(m_lockPanel, {30, 2100, 7350, 3555});
    m_lockPanel->setAutoFillBackground(true);
    m_lockMessage = new QLabel(m_lockPanel);
    m_lockMessage->setObjectName(objectNames::LockMessage);
    markAsGrouping(m_lockPanel, QStringLiteral("Locked"));
    m_lockMessage->setAlignment(Qt::AlignCenter);
    place(m_lockMessage, {30, 465, 7245, 210});
    m_lockPanel->hide();
}

void FrmScrn::chainTabOrder()
{
    // The fields (Service, Username, Password, Comments, Address), the toolbar, the
    // list, then the database boxes.
    QList<QWidget*> order = m_editArea->tabOrder();
    order << m_recordList;
    for (int i = 0; i < 3; ++i)
        order << m_toolsStrip->databaseBox(i);
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void FrmScrn::buildFileMenu()
{
    QMenu* menu = m_toolsStrip->fileMenu();
    menu->addAction(m_editArea->retainUserAction());
    menu->addAction(m_editArea->hideAction());
    QAction* suggest = makeAction(objectNames::SuggestItem, QStringLiteral("Suggest Password"), menu);
    connect(suggest, &QAction::triggered, this, &FrmScrn::suggestPassword);
    menu->addAction(suggest);
    menu->addSeparator()->setObjectName(objectNames::FirstSeparator);
    menu->addMenu(m_editArea->schemeMenu());
    menu->addMenu(m_editArea->copyMenu());
    menu->addSeparator()->setObjectName(objectNames::SecondSeparator);
    QAction* help = makeAction(objectNames::HelpItem, QStringLiteral("Help"), menu);
    connect(help, &QAction::triggered, this, &FrmScrn::openHelp);
    menu->addAction(help);
    QAction* quit = makeAction(objectNames::QuitItem, QStringLiteral("Quit"), menu);
    connect(quit, &QAction::triggered, this, &FrmScrn::QuitApplication);
    menu->addAction(quit);

    // The menu is never on a bar: the window carries the Copy items' shortcuts, and
    // the controls that would take their keys for themselves let them pass.
    const QList<QAction*> copyItems = m_editArea->copyActions();
    addActions(copyItems);
    auto* copyKeys = new ShortcutPassThrough(copyItems, this);
    m_toolsStrip->toolsLabel()->installEventFilter(copyKeys);
    for (int i = 0; i < FieldCount; ++i)
        m_editArea->field(FieldIndex(i))->installEventFilter(copyKeys);
    m_recordList->installEventFilter(copyKeys);
}

void FrmScrn::loadStep()
{
    const Credentials lock = ReadLockRecord(m_settings).value_or(Credentials{});
    m_recordList->loadGridSetting();
    // The database itself was chosen, and its loading started, before the controls were built.
    m_toolsStrip->showOpenDatabase(m_database.base());
    m_lock->applyAtStart(lock);
}

void FrmScrn::loadDatabase()
{
    // Through the vault, like every change of the entries: the list's model
    // follows, and puts them in its order when it sorts.
    const DatabaseResult loaded = m_vault.load();
    // A sealed database is opened once its password has been typed, not before.
    const bool opening = m_opening && !m_database.shut();
    if (opening)
        m_opening = false;
    const QString name = QString::fromStdString(m_database.base()) + QStringLiteral(".ksd");
    if (m_database.shut()) {
        // A key that no longer fits: the file was sealed anew since it was opened.
        if (m_database.key())
            showMessage(name + QStringLiteral(" was changed outside the program"));
    } else if (!loaded) {
        showMessage(fromView(describe(loaded, name.toStdString())));
    } else if (const std::size_t unopened = m_database.unopenedLines(); unopened > 0) {
        // Not listed, and carried over unchanged by every full save.
        showMessage(unopened == 1 ? QStringLiteral("1 line of %1 did not open under its password").arg(name)
                                  : QStringLiteral("%1 lines of %2 did not open under its password")
                                        .arg(QString::number(unopened), name));
    } else if (opening) {
        // A sync tool found the file changed on two machines and kept the other
        // one beside it: its entries are not in the list until merged.
        const std::size_t copies = findConflictCopies(dataFilePath(m_database.folder(), m_database.base())).size();
        if (copies > 0)
            showMessage(QStringLiteral("%1 has %2: keystead-vault-cli merge --conflicts")
                            .arg(name, copies == 1 ? QStringLiteral("1 conflict copy")
                                                   : QStringLiteral("%1 conflict copies").arg(copies)));
    }
    m_seal->follow(isLocked());
}

void FrmScrn::openDatabase(int index)
{
    m_seal->databaseChosen();
    m_database.choose(DataFileBaseFor(index));
    m_settings.save(DatabaseSetting, std::to_string(index));
    m_opening = true;
    loadDatabase();
}

void FrmScrn::suggestPassword()
{
    SuggestPassword(this);
}

void FrmScrn::openHelp()
{
    OpenHelp(m_env.programFolder, this, m_env.openWithDefaultHandler);
}

void FrmScrn::QuitApplication()
{
    m_vault.unload();
    QApplication::closeAllWindows();
}

void FrmScrn::closeEvent(QCloseEvent* event)
{
    // Quit closes the window too. A password still on the clipboard now would outlive the program in
    // the desktop's clipboard manager.
    m_editArea->clearCopiedPassword();
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

bool FrmScrn::isListCovered() const
{
    return isLocked() || (m_seal && m_seal->isCovering());
}

void FrmScrn::onLockedChanged(bool locked)
{
    m_editArea->setLocked(locked);
    if (locked)
        return;
    m_editArea->ClearEditFields();
    layoutPass();
    // The log-in first, then a sealed database's password.
    m_seal->follow(false);
}

void FrmScrn::onSealCoveredChanged(bool covered)
{
    m_editArea->setDatabasePasswordAsked(covered);
    layoutPass();
}

// The layout pass: on every resize the window's controls follow its size.
namespace {

// Design values the pass measures from; they never change at run time.
constexpr int Frame1Height = 1920;
constexpr int Frame3Top = 2100;
constexpr int Line1Top = 2355;
constexpr int Line2Top = 2355;
constexpr int Line2X = 30;

// A size below zero stops the pass where it is, as a window made very small
// would: each step says whether the pass goes on.
bool setWidth(QWidget* widget, int twips)
{
    if (twips < 0)
        return false;
    widget->resize(toPixels(twips), widget->height());
    return true;
}

bool setHeight(QWidget* widget, int twips)
{
    if (twips < 0)
        return false;
    widget->resize(widget->width(), toPixels(twips));
    return true;
}

} // namespace

void FrmScrn::layoutPass()
{
    // Where a step meets a size below zero, the rest of the pass is skipped; the
    // next resize tries again. m_shapes holds Shape1_5, Shape1_6 and Shape1_7.
    const int sw = toTwips(width());
    const int sh = toTwips(height());
    if (isListCovered()) {
        if (!setWidth(m_lockPanel, sw - 50) || !setHeight(m_lockPanel, sh - Frame3Top - 10))
            return;
    } else {
        if (!setHeight(m_recordList, sh - Frame1Height - 400) || !setHeight(m_shapes[2], sh - Frame1Height - 600))
            return;
        m_shapes[1]->move(m_shapes[1]->x(), toPixels(sh - 400));
        m_rightLine->setLine(m_rightLine->lineX(), Line1Top, sh - 380);
        m_leftLine->setLine(Line2X, Line2Top, sh - 150);
    }
    if (!setWidth(m_editArea, sw - 100) || !setWidth(m_toolsStrip, sw - 100) || !setWidth(m_recordList, sw - 250))
        return;
    for (ShapeWidget* shape : m_shapes) {
        if (!setWidth(shape, sw - 80))
            return;
    }
    m_rightLine->setLine(sw - 55, Line1Top, m_rightLine->lineY2());
}

void FrmScrn::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!isMinimized())
        layoutPass();
}

} // namespace kv

// Building the main window's controls and menus at their design positions.

#include "app/controls.h"
#include "app/frm_scrn.h"
#include "app/object_names.h"
#include "app/shape_widget.h"

#include <QAction>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

namespace kv {

namespace {

QFont tahoma(int points, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"), points);
    font.setBold(bold);
    return font;
}

QFrame* makeFrame(const char* name, QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

QAction* makeAction(const char* name, const char* caption, QObject* parent, bool checkable = false,
                    bool checked = false)
{
    auto* action = new QAction(QString::fromLatin1(caption), parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    action->setChecked(checked);
    return action;
}

// Design positions of the edit fields, their labels and the shapes framing them.
struct FieldDesign
{
    const char* caption;
    TwipRect label;
    TwipRect field;
    TwipRect shape;
};
const FieldDesign FieldDesigns[FieldCount] = {
    {"Address", {2295, 105, 1515, 165}, {2280, 315, 4815, 270}, {2220, 285, 4950, 345}},
    {"Service", {285, 675, 1515, 165}, {345, 900, 2205, 270}, {255, 855, 2370, 345}},
    {"Username", {2835, 675, 1515, 165}, {2865, 900, 2205, 270}, {2775, 855, 2370, 345}},
    {"Comments", {285, 1275, 1515, 165}, {315, 1515, 6765, 270}, {225, 1470, 6945, 345}},
    {"Password", {5355, 675, 1515, 165}, {5355, 900, 1740, 270}, {5280, 855, 1890, 345}},
};

void place(QWidget* widget, TwipRect twips)
{
    widget->setGeometry(twips.toPixels());
}

} // namespace

void FrmScrn::buildControls()
{
    setFont(tahoma(8));

    // Drawn on the window behind the list: created first so they lie underneath.
    m_shapes[7] = new ShapeWidget(ShapeWidget::Kind::Rectangle, QStringLiteral("Shape1_7"), this);
    place(m_shapes[7], {30, 2385, 7335, 2970});
    m_shapes[5] = new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, QStringLiteral("Shape1_5"), this);
    place(m_shapes[5], {30, 2130, 7350, 345});
    m_shapes[6] = new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, QStringLiteral("Shape1_6"), this);
    place(m_shapes[6], {30, 5280, 7350, 345});
    m_leftLine = new ShapeWidget(ShapeWidget::Kind::VerticalLine, QStringLiteral("Line2"), this);
    m_leftLine->setLine(30, 2355, 5385);
    m_rightLine = new ShapeWidget(ShapeWidget::Kind::VerticalLine, QStringLiteral("Line1"), this);
    m_rightLine->setLine(7365, 2355, 5475);

    // Tools strip.
    m_toolsStrip = makeFrame("Frame2", this);
    markAsGrouping(m_toolsStrip, QStringLiteral("Databases and tools"));
    place(m_toolsStrip, {45, -90, 7320, 360});
    const int checkLefts[3] = {165, 900, 1635};
    for (int i = 0; i < 3; ++i) {
        m_databaseBoxes[i] = new CheckBox(m_toolsStrip);
        m_databaseBoxes[i]->setObjectName(objectNames::databaseBox(i));
        // The boxes have no caption; a screen reader needs a name all the same.
        m_databaseBoxes[i]->setAccessibleName(QStringLiteral("Database %1").arg(i + 1));
        place(m_databaseBoxes[i], {checkLefts[i], 105, 645, 195});
    }
    m_toolsLabel = new MenuLabel(QStringLiteral("Tools"), m_toolsStrip);
    m_toolsLabel->setObjectName(QStringLiteral("Label2"));
    m_toolsLabel->setFont(tahoma(8, true));
    place(m_toolsLabel, {2390, 105, 525, 180});

    buildEditArea();
    buildRecordList();

    // The covering panel of the lock, above the list.
    m_lockPanel = makeFrame("Frame3", this);
    place(m_lockPanel, {30, 2100, 7350, 3555});
    m_lockPanel->setAutoFillBackground(true);
    m_lockMessage = new QLabel(m_lockPanel);
    m_lockMessage->setObjectName(QStringLiteral("Label3"));
    markAsGrouping(m_lockPanel, QStringLiteral("Locked"));
    m_lockMessage->setAlignment(Qt::AlignCenter);
    place(m_lockMessage, {30, 465, 7245, 210});
    m_lockPanel->hide();

    // Tab order: Service, Username, Password, Comments, Address, then the toolbar,
    // the list and the database boxes.
    QList<QWidget*> order = {field(FieldIndex::Service), field(FieldIndex::Username), field(FieldIndex::Password),
                             field(FieldIndex::Comments), field(FieldIndex::Address)};
    for (QAction* command : m_commandButtons)
        order << m_toolbar->widgetForAction(command);
    order << m_recordList;
    for (CheckBox* box : m_databaseBoxes)
        order << box;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void FrmScrn::buildEditArea()
{
    m_editArea = makeFrame("Frame1", this);
    markAsGrouping(m_editArea, QStringLiteral("Entry"));
    place(m_editArea, {45, 180, 7320, 1920});
    for (int i = 0; i < FieldCount; ++i) {
        const FieldDesign& design = FieldDesigns[i];
        m_shapes[i] =
            new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, QStringLiteral("Shape1_%1").arg(i), m_editArea);
        place(m_shapes[i], design.shape);
        m_fieldLabels[i] = new QLabel(QString::fromLatin1(design.caption), m_editArea);
        m_fieldLabels[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        place(m_fieldLabels[i], design.label);
        m_fields[i] = new EditField(m_editArea);
        m_fields[i]->setObjectName(objectNames::field(FieldIndex(i)));
        m_fields[i]->setAccessibleName(QString::fromLatin1(design.caption));
        m_fieldLabels[i]->setBuddy(m_fields[i]);
        place(m_fields[i], design.field);
    }
    field(FieldIndex::Password)->setEchoMode(QLineEdit::Password);
    // Without a description of its own, a screen reader would read the tooltip: the
    // loaded password in clear.
    field(FieldIndex::Password)->setAccessibleDescription(QStringLiteral("Shown as stars while Hide Passwords is on"));
    // Its tip is the loaded password in clear: for the eye, not to be read aloud.
    field(FieldIndex::Password)->setTipForTheEyeOnly(true);
    buildToolbar();
}

void FrmScrn::buildRecordList()
{
    m_recordList = new QTableView(this);
    m_recordList->setObjectName(objectNames::recordList());
    place(m_recordList, {105, 2190, 7260, 3375});
    m_recordList->setFont(tahoma(9));
    m_shownRecords.setRecords(&m_model);
    m_recordList->setModel(&m_shownRecords);
    m_recordList->setAccessibleName(QStringLiteral("Entries"));
    // Tab leaves the list for the next control instead of walking its cells.
    m_recordList->setTabKeyNavigation(false);
    m_recordList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recordList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_recordList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recordList->setWordWrap(false);
    m_recordList->setShowGrid(false);
    m_recordList->verticalHeader()->hide();
    m_recordList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_recordList->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_recordList->font()).height() + 4);
    QHeaderView* header = m_recordList->horizontalHeader();
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
        m_recordList->setColumnHidden(column, true);
    }
    m_recordList->viewport()->installEventFilter(this);
}

void FrmScrn::buildToolbar()
{
    m_toolbar = new QToolBar(m_editArea);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setFont(tahoma(7));
    // Four captioned buttons share the room left of the Address field.
    m_toolbar->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: none; }"
                                            "QToolButton { padding: 0px; margin: 0px; font-size: 6pt; }"));
    m_toolbar->setMovable(false);
    m_toolbar->setContentsMargins(0, 0, 0, 0);
    m_toolbar->layout()->setContentsMargins(0, 0, 0, 0);
    m_toolbar->layout()->setSpacing(0);
    m_toolbar->setFloatable(false);
    const char* captions[4] = {"Add", "Remove", "Replace", "Clear"};
    const char* icons[4] = {":/icons/add.png", ":/icons/remove.png", ":/icons/replace.png", ":/icons/clear.png"};
    for (int i = 0; i < 4; ++i) {
        QAction* action = m_toolbar->addAction(QIcon(QString::fromLatin1(icons[i])), QString::fromLatin1(captions[i]));
        action->setObjectName(objectNames::toolbarButton(ToolbarCommand(i + 1)));
        QWidget* button = m_toolbar->widgetForAction(action);
        button->setObjectName(objectNames::toolbarButton(ToolbarCommand(i + 1)));
        button->ensurePolished();
        button->setFixedWidth(std::max(20, button->fontMetrics().horizontalAdvance(action->text()) + 6));
        // Reached with Tab and pressed with the space bar; a click still leaves the focus where it was.
        button->setFocusPolicy(Qt::TabFocus);
        m_commandButtons[i] = action;
    }
    const QRect design = TwipRect{120, 180, 1905, 450}.toPixels();
    // The design height fits the images; the captions under them need a little more.
    m_toolbar->setGeometry(design.left(), design.top() - 4, std::max(design.width(), m_toolbar->sizeHint().width()),
                           m_toolbar->sizeHint().height());
}

void FrmScrn::buildMenus()
{
    m_fileMenu = new QMenu(QStringLiteral("File"), this);
    m_fileMenu->setObjectName(QStringLiteral("Tmenu"));
    m_retainUserAction = makeAction("mnuRetainUser", "Retain Username", m_fileMenu, true, true);
    m_hideAction = makeAction("mnuHide", "Hide Passwords", m_fileMenu, true, true);
    m_suggestAction = makeAction("mnuSuges", "Suggest Password", m_fileMenu);
    m_fileMenu->addAction(m_retainUserAction);
    m_fileMenu->addAction(m_hideAction);
    m_fileMenu->addAction(m_suggestAction);
    m_fileMenu->addSeparator()->setObjectName(QStringLiteral("sep1"));

    m_schemeMenu = m_fileMenu->addMenu(QStringLiteral("Addresses are"));
    m_schemeMenu->setObjectName(QStringLiteral("Tadress"));
    const char* schemes[3] = {"HTTP", "HTTPS", "FTP"};
    for (int i = 0; i < 3; ++i) {
        m_schemeActions[i] = makeAction("", schemes[i], m_schemeMenu, true, i == 0);
        m_schemeActions[i]->setObjectName(QStringLiteral("mnuAddress_%1").arg(i));
        m_schemeMenu->addAction(m_schemeActions[i]);
    }

    m_copyMenu = m_fileMenu->addMenu(QStringLiteral("Copy"));
    m_copyMenu->setObjectName(QStringLiteral("Tcopy"));
    m_copyAddressAction = makeAction("mnuCopyURL", "URL", m_copyMenu);
    m_copyUserAction = makeAction("mnuCopyUser", "Username", m_copyMenu);
    m_copyPasswordAction = makeAction("mnuCopyPass", "Password      ", m_copyMenu);
    const QKeySequence shortcuts[3] = {QKeySequence(Qt::CTRL | Qt::Key_A), QKeySequence(Qt::CTRL | Qt::Key_U),
                                       QKeySequence(Qt::CTRL | Qt::Key_P)};
    QAction* copyItems[3] = {m_copyAddressAction, m_copyUserAction, m_copyPasswordAction};
    for (int i = 0; i < 3; ++i) {
        copyItems[i]->setShortcut(shortcuts[i]);
        copyItems[i]->setShortcutContext(Qt::WindowShortcut);
        m_copyMenu->addAction(copyItems[i]);
        addAction(copyItems[i]); // the menu is never on a bar: the window carries the shortcuts
    }
    m_fileMenu->addSeparator()->setObjectName(QStringLiteral("sep2"));
    m_helpAction = makeAction("mnuHelp", "Help", m_fileMenu);
    m_quitAction = makeAction("mnuQuit", "Quit", m_fileMenu);
    m_fileMenu->addAction(m_helpAction);
    m_fileMenu->addAction(m_quitAction);

    m_listMenu = new QMenu(QStringLiteral("Other"), this);
    m_listMenu->setObjectName(QStringLiteral("Tother"));
    m_gridAction = makeAction("mnulines", "Show grid", m_listMenu, true, false);
    m_listMenu->addAction(m_gridAction);
}

} // namespace kv

// Building the main window's controls and menus at their design positions.

#include "app/controls.h"
#include "app/frm_scrn.h"
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
const FieldDesign FieldDesigns[5] = {
    {"Address", {2295, 105, 1515, 165}, {2280, 315, 4815, 270}, {2220, 285, 4950, 345}},
    {"Service", {285, 675, 1515, 165}, {345, 900, 2205, 270}, {255, 855, 2370, 345}},
    {"Username", {2835, 675, 1515, 165}, {2865, 900, 2205, 270}, {2775, 855, 2370, 345}},
    {"Comments", {285, 1275, 1515, 165}, {315, 1515, 6765, 270}, {225, 1470, 6945, 345}},
    {"Password", {5355, 675, 1515, 165}, {5355, 900, 1740, 270}, {5280, 855, 1890, 345}},
};

} // namespace

void FrmScrn::place(QWidget* widget, TwipRect twips)
{
    widget->setGeometry(twips.toPixels());
}

void FrmScrn::buildControls()
{
    setFont(tahoma(8));

    // Drawn on the window behind the list: created first so they lie underneath.
    Shape1[7] = new ShapeWidget(ShapeWidget::Kind::Rectangle, QStringLiteral("Shape1_7"), this);
    place(Shape1[7], {30, 2385, 7335, 2970});
    Shape1[5] = new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, QStringLiteral("Shape1_5"), this);
    place(Shape1[5], {30, 2130, 7350, 345});
    Shape1[6] = new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, QStringLiteral("Shape1_6"), this);
    place(Shape1[6], {30, 5280, 7350, 345});
    Line2 = new ShapeWidget(ShapeWidget::Kind::VerticalLine, QStringLiteral("Line2"), this);
    Line2->setLine(30, 2355, 5385);
    Line1 = new ShapeWidget(ShapeWidget::Kind::VerticalLine, QStringLiteral("Line1"), this);
    Line1->setLine(7365, 2355, 5475);

    // Tools strip.
    Frame2 = makeFrame("Frame2", this);
    place(Frame2, {45, -90, 7320, 360});
    const int checkLefts[3] = {165, 900, 1635};
    for (int i = 0; i < 3; ++i) {
        Check1[i] = new CheckBox(Frame2);
        Check1[i]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        place(Check1[i], {checkLefts[i], 105, 645, 195});
    }
    Label2 = new QLabel(QStringLiteral("Tools"), Frame2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(tahoma(8, true));
    place(Label2, {2390, 105, 525, 180});

    // Edit area.
    Frame1 = makeFrame("Frame1", this);
    place(Frame1, {45, 180, 7320, 1920});
    for (int i = 0; i < 5; ++i) {
        const FieldDesign& design = FieldDesigns[i];
        Shape1[i] = new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, QStringLiteral("Shape1_%1").arg(i), Frame1);
        place(Shape1[i], design.shape);
        Label1[i] = new QLabel(QString::fromLatin1(design.caption), Frame1);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        place(Label1[i], design.label);
        Text1[i] = new EditField(Frame1);
        Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        place(Text1[i], design.field);
    }
    Text1[EditPassword]->setEchoMode(QLineEdit::Password);
    buildToolbar();

    // The record list.
    ListView1 = new QTableView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    place(ListView1, {105, 2190, 7260, 3375});
    ListView1->setFont(tahoma(9));
    ListView1->setModel(&m_model);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setWordWrap(false);
    ListView1->setShowGrid(false);
    ListView1->verticalHeader()->hide();
    ListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListView1->verticalHeader()->setDefaultSectionSize(QFontMetrics(ListView1->font()).height() + 4);
    QHeaderView* header = ListView1->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setMinimumSectionSize(1);
    for (int column = 0; column < RecordColumnCount; ++column)
        header->resizeSection(column, toPixels(1440));
    // The clear password and the recorded time ride along in columns too narrow to
    // show anything, and nobody can drag them wider.
    for (int column : {int(ColPassHidden), int(ColRecorded)}) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        header->resizeSection(column, 1);
    }
    ListView1->viewport()->installEventFilter(this);

    // The covering panel of the lock, above the list.
    Frame3 = makeFrame("Frame3", this);
    place(Frame3, {30, 2100, 7350, 3555});
    Frame3->setAutoFillBackground(true);
    Label3 = new QLabel(Frame3);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignCenter);
    place(Label3, {30, 465, 7245, 210});
    Frame3->hide();

    // Tab order: Service, Username, Password, Comments, Address.
    setTabOrder(Text1[EditService], Text1[EditUsername]);
    setTabOrder(Text1[EditUsername], Text1[EditPassword]);
    setTabOrder(Text1[EditPassword], Text1[EditComments]);
    setTabOrder(Text1[EditComments], Text1[EditAddress]);
}

void FrmScrn::buildToolbar()
{
    Toolbar1 = new QToolBar(Frame1);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setFont(tahoma(7));
    // Four captioned buttons share the room left of the Address field.
    Toolbar1->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: none; }"
                                           "QToolButton { padding: 0px; margin: 0px; font-size: 6pt; }"));
    Toolbar1->setMovable(false);
    Toolbar1->setContentsMargins(0, 0, 0, 0);
    Toolbar1->layout()->setContentsMargins(0, 0, 0, 0);
    Toolbar1->layout()->setSpacing(0);
    Toolbar1->setFloatable(false);
    const char* captions[4] = {"Add", "Remove", "Replace", "Clear"};
    const char* icons[4] = {":/icons/add.png", ":/icons/remove.png", ":/icons/replace.png", ":/icons/clear.png"};
    for (int i = 0; i < 4; ++i) {
        QAction* action = Toolbar1->addAction(QIcon(QString::fromLatin1(icons[i])), QString::fromLatin1(captions[i]));
        action->setObjectName(QStringLiteral("Toolbar1_%1").arg(i + 1));
        QWidget* button = Toolbar1->widgetForAction(action);
        button->setObjectName(QStringLiteral("Toolbar1_%1").arg(i + 1));
        button->ensurePolished();
        button->setFixedWidth(std::max(20, button->fontMetrics().horizontalAdvance(action->text()) + 6));
        toolbarButtons[i] = action;
    }
    const QRect design = TwipRect{120, 180, 1905, 450}.toPixels();
    // The design height fits the images; the captions under them need a little more.
    Toolbar1->setGeometry(design.left(), design.top() - 4, std::max(design.width(), Toolbar1->sizeHint().width()),
                          Toolbar1->sizeHint().height());
}

void FrmScrn::buildMenus()
{
    Tmenu = new QMenu(QStringLiteral("File"), this);
    Tmenu->setObjectName(QStringLiteral("Tmenu"));
    mnuRetainUser = makeAction("mnuRetainUser", "Retain Username", Tmenu, true, true);
    mnuHide = makeAction("mnuHide", "Hide Passwords", Tmenu, true, true);
    mnuSuges = makeAction("mnuSuges", "Suggest Password", Tmenu);
    Tmenu->addAction(mnuRetainUser);
    Tmenu->addAction(mnuHide);
    Tmenu->addAction(mnuSuges);
    Tmenu->addSeparator()->setObjectName(QStringLiteral("sep1"));

    Tadress = Tmenu->addMenu(QStringLiteral("Addresses are"));
    Tadress->setObjectName(QStringLiteral("Tadress"));
    const char* schemes[3] = {"HTTP", "HTTPS", "FTP"};
    for (int i = 0; i < 3; ++i) {
        mnuAddress[i] = makeAction("", schemes[i], Tadress, true, i == 0);
        mnuAddress[i]->setObjectName(QStringLiteral("mnuAddress_%1").arg(i));
        Tadress->addAction(mnuAddress[i]);
    }

    Tcopy = Tmenu->addMenu(QStringLiteral("Copy"));
    Tcopy->setObjectName(QStringLiteral("Tcopy"));
    mnuCopyURL = makeAction("mnuCopyURL", "URL", Tcopy);
    mnuCopyUser = makeAction("mnuCopyUser", "Username", Tcopy);
    mnuCopyPass = makeAction("mnuCopyPass", "Password      ", Tcopy);
    const QKeySequence shortcuts[3] = {QKeySequence(Qt::CTRL | Qt::Key_A), QKeySequence(Qt::CTRL | Qt::Key_U),
                                       QKeySequence(Qt::CTRL | Qt::Key_P)};
    QAction* copyItems[3] = {mnuCopyURL, mnuCopyUser, mnuCopyPass};
    for (int i = 0; i < 3; ++i) {
        copyItems[i]->setShortcut(shortcuts[i]);
        copyItems[i]->setShortcutContext(Qt::WindowShortcut);
        Tcopy->addAction(copyItems[i]);
        addAction(copyItems[i]); // the menu is never on a bar: the window carries the shortcuts
    }
    Tmenu->addSeparator()->setObjectName(QStringLiteral("sep2"));
    mnuHelp = makeAction("mnuHelp", "Help", Tmenu);
    mnuQuit = makeAction("mnuQuit", "Quit", Tmenu);
    Tmenu->addAction(mnuHelp);
    Tmenu->addAction(mnuQuit);

    Tother = new QMenu(QStringLiteral("Other"), this);
    Tother->setObjectName(QStringLiteral("Tother"));
    mnulines = makeAction("mnulines", "Show grid", Tother, true, false);
    Tother->addAction(mnulines);
}

} // namespace kv

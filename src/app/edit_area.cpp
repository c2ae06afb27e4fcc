#include "app/edit_area.h"

#include "app/accessible_interfaces.h"
#include "app/edit_field.h"
#include "app/field_table.h"
#include "app/object_names.h"
#include "app/shape_widget.h"
#include "app/widget_helpers.h"
#include "tools/address_link.h"
#include "tools/clipboard_copy.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace kv {

namespace {

const FieldRow& rowOf(FieldIndex index)
{
    for (const FieldRow& row : FieldTable) {
        if (row.index == index)
            return row;
    }
    return FieldTable.front(); // every index has its row
}

} // namespace

EditArea::EditArea(Vault& vault, const Environment& env, QWidget* window) : QFrame(window)
{
    setObjectName(objectNames::EditArea);
    makeSunkenPanel(this);
    markAsGrouping(this, QStringLiteral("Entry"));
    place(this, {45, 180, 7320, 1920});
    buildFields();
    buildMenuItems();
    m_commands = new EditingCommands({m_fields, nullptr, m_retainUserAction}, vault, env.clock, this);
    connect(m_commands, &EditingCommands::messageShown, this, &EditArea::messageShown);
    connect(m_commands, &EditingCommands::captionChanged, this, &EditArea::captionChanged);
    buildToolbar();

    m_addressLink =
        new AddressLink({field(FieldIndex::Address), this, window, m_schemeActions}, env.openWithDefaultHandler);
    connect(m_addressLink, &AddressLink::messageShown, this, &EditArea::messageShown);
    // Emptied fields take the checked scheme's prefix in the address field.
    connect(m_commands, &EditingCommands::fieldsEmptied, m_addressLink, &AddressLink::SetAddressPrefix);

    m_clipboard = new ClipboardCopier(env.clipboardClearDelay, this);
    connect(m_clipboard, &ClipboardCopier::messageShown, this, &EditArea::messageShown);
}

void EditArea::buildFields()
{
    // Made in the order of their design indexes, which is the order a screen reader meets them in.
    for (int i = 0; i < FieldCount; ++i) {
        const FieldRow& row = rowOf(FieldIndex(i));
        const QString caption = QString::fromUtf16(row.caption);
        auto* shape =
            new ShapeWidget(ShapeWidget::Kind::RoundedRectangle, objectNames::shape(static_cast<int>(row.index)), this);
        place(shape, row.shape);
        auto* label = new QLabel(caption, this);
        label->setObjectName(objectNames::fieldLabel(row.index));
        place(label, row.label);
        auto* edit = new EditField(this);
        edit->setObjectName(objectNames::field(row.index));
        edit->setAccessibleName(caption);
        label->setBuddy(edit);
        place(edit, row.field);
        m_fields.byIndex[i] = edit;
    }
    auto* password = static_cast<EditField*>(field(FieldIndex::Password));
    password->setEchoMode(QLineEdit::Password);
    // Without a description of its own, a screen reader would read the tooltip: the
    // loaded password in clear.
    password->setAccessibleDescription(QStringLiteral("Shown as stars while Hide Passwords is on"));
    // Its tip is the loaded password in clear: for the eye, not to be read aloud.
    password->setTipForTheEyeOnly(true);
}

void EditArea::buildToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(objectNames::Toolbar);
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
    struct Button
    {
        ToolbarCommand command;
        QString caption;
        QString icon;
        void (EditingCommands::*run)();
    };
    const Button buttons[4] = {
        {ToolbarCommand::Add, QStringLiteral("Add"), QStringLiteral(":/icons/add.png"), &EditingCommands::Add},
        {ToolbarCommand::Remove, QStringLiteral("Remove"), QStringLiteral(":/icons/remove.png"),
         &EditingCommands::Remove},
        {ToolbarCommand::Replace, QStringLiteral("Replace"), QStringLiteral(":/icons/replace.png"),
         &EditingCommands::Replace},
        {ToolbarCommand::Clear, QStringLiteral("Clear"), QStringLiteral(":/icons/clear.png"), &EditingCommands::Clear},
    };
    for (std::size_t i = 0; i < m_commandButtons.size(); ++i) {
        QAction* action = m_toolbar->addAction(QIcon(buttons[i].icon), buttons[i].caption);
        action->setObjectName(objectNames::toolbarButton(buttons[i].command));
        QWidget* button = m_toolbar->widgetForAction(action);
        button->setObjectName(objectNames::toolbarButton(buttons[i].command));
        button->ensurePolished();
        button->setFixedWidth(std::max(20, button->fontMetrics().horizontalAdvance(action->text()) + 6));
        // Reached with Tab and pressed with the space bar; a click still leaves the focus where it was.
        button->setFocusPolicy(Qt::TabFocus);
        connect(action, &QAction::triggered, m_commands, buttons[i].run);
        m_commandButtons[i] = action;
    }
    const QRect design = TwipRect{120, 180, 1905, 450}.toPixels();
    // The design height fits the images; the captions under them need a little more.
    m_toolbar->setGeometry(design.left(), design.top() - 4, std::max(design.width(), m_toolbar->sizeHint().width()),
                           m_toolbar->sizeHint().height());
}

void EditArea::buildMenuItems()
{
    QWidget* window = parentWidget();
    m_retainUserAction = makeAction(objectNames::RetainUserItem, QStringLiteral("Retain Username"), this, true, true);
    m_hideAction = makeAction(objectNames::HideItem, QStringLiteral("Hide Passwords"), this, true, true);
    connect(m_hideAction, &QAction::triggered, this, &EditArea::toggleHide);

    // AddressLink takes over the scheme items' check marks.
    m_schemeMenu = new QMenu(QStringLiteral("Addresses are"), window);
    m_schemeMenu->setObjectName(objectNames::SchemeMenu);
    const QString schemes[3] = {QStringLiteral("HTTP"), QStringLiteral("HTTPS"), QStringLiteral("FTP")};
    for (int i = 0; i < 3; ++i) {
        m_schemeActions[i] = makeAction(objectNames::schemeItem(i), schemes[i], m_schemeMenu, true, i == 0);
        m_schemeMenu->addAction(m_schemeActions[i]);
    }

    m_copyMenu = new QMenu(QStringLiteral("Copy"), window);
    m_copyMenu->setObjectName(objectNames::CopyMenu);
    m_copyAddressAction = makeAction(objectNames::CopyAddressItem, QStringLiteral("URL"), m_copyMenu);
    m_copyUserAction = makeAction(objectNames::CopyUserItem, QStringLiteral("Username"), m_copyMenu);
    m_copyPasswordAction = makeAction(objectNames::CopyPasswordItem, QStringLiteral("Password      "), m_copyMenu);
    m_copyAddressAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    m_copyUserAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    m_copyPasswordAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    for (QAction* item : copyActions()) {
        item->setShortcutContext(Qt::WindowShortcut);
        m_copyMenu->addAction(item);
    }
    connect(m_copyAddressAction, &QAction::triggered, this, &EditArea::copyAddress);
    connect(m_copyUserAction, &QAction::triggered, this, &EditArea::copyUsername);
    connect(m_copyPasswordAction, &QAction::triggered, this, &EditArea::copyPassword);
}

void EditArea::setRecordList(const QTableView* list)
{
    m_commands->setList(list);
}

QList<QWidget*> EditArea::tabOrder() const
{
    QList<QWidget*> order;
    for (const FieldRow& row : FieldTable)
        order << field(row.index);
    for (QAction* command : m_commandButtons)
        order << m_toolbar->widgetForAction(command);
    return order;
}

QList<QAction*> EditArea::copyActions() const
{
    return {m_copyAddressAction, m_copyUserAction, m_copyPasswordAction};
}

void EditArea::setLocked(bool locked)
{
    m_commands->setLocked(locked);
}

void EditArea::setDatabasePasswordAsked(bool asked)
{
    m_databasePasswordAsked = asked;
    applyPasswordMask();
}

void EditArea::ClearEditFields()
{
    m_commands->ClearEditFields();
}

void EditArea::LoadRecord(const Record& record)
{
    m_commands->LoadRecord(record);
}

void EditArea::clearCopiedPassword()
{
    m_clipboard->clearNow();
}

void EditArea::toggleHide()
{
    // The item has flipped its own check mark.
    applyPasswordMask();
}

void EditArea::applyPasswordMask()
{
    const bool masked = m_hideAction->isChecked() || m_databasePasswordAsked;
    field(FieldIndex::Password)->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
}

void EditArea::copyAddress()
{
    m_clipboard->copyText(field(FieldIndex::Address)->text());
}

void EditArea::copyUsername()
{
    m_clipboard->copyText(field(FieldIndex::Username)->text());
}

void EditArea::copyPassword()
{
    // What the field holds then is a database's own password, on its way to open it.
    if (m_databasePasswordAsked)
        return;
    m_clipboard->copyPassword(field(FieldIndex::Password)->text());
}

} // namespace kv

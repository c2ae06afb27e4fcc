#include "app/controls.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>

namespace kv {

namespace {

// The platform's password bullet would differ from what the list shows; the
// field masks with "*" everywhere.
class AsteriskMaskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return QLatin1Char('*').unicode();
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

constexpr const char* GroupingProperty = "kvGrouping";

// The Tools label as a screen reader should meet it: a menu button named by its
// text, with a press action that opens the menu.
class MenuLabelAccessible : public QAccessibleWidget
{
public:
    explicit MenuLabelAccessible(MenuLabel* label) : QAccessibleWidget(label, QAccessible::ButtonMenu) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction(), showMenuAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() || action == showMenuAction())
            emit static_cast<MenuLabel*>(widget())->pressed();
    }
};

QAccessibleInterface* accessibleInterfaceFor(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("kv::MenuLabel"))
        return new MenuLabelAccessible(static_cast<MenuLabel*>(widget));
    // The main window is a window, not a plain area; its name is its caption.
    if (className == QLatin1String("kv::FrmScrn"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    // The window's framed areas group controls; as drawn frames they would read as windows.
    if (className == QLatin1String("QFrame") && widget->property(GroupingProperty).toBool())
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    return nullptr;
}

} // namespace

void markAsGrouping(QFrame* frame, const QString& name)
{
    frame->setProperty(GroupingProperty, true);
    frame->setAccessibleName(name);
}

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleInterfaceFor);
        return true;
    }();
    (void)installed;
}

EditField::EditField(QWidget* parent) : QLineEdit(parent)
{
    // One style for all fields, living as long as the application.
    static QPointer<AsteriskMaskStyle> shared;
    if (!shared) {
        shared = new AsteriskMaskStyle;
        shared->setParent(QCoreApplication::instance());
    }
    setStyle(shared);
}

void EditField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // Tabbing in would select the whole text; the caret goes to the end instead.
    deselect();
    end(false);
}

void CheckBox::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit chosen();
        return;
    }
    QCheckBox::keyPressEvent(event);
}

void CheckBox::mouseReleaseEvent(QMouseEvent* event)
{
    const Qt::MouseButton button = event->button();
    const bool over = rect().contains(event->position().toPoint());
    QCheckBox::mouseReleaseEvent(event);
    if (over)
        emit mouseReleased(button);
}

} // namespace kv

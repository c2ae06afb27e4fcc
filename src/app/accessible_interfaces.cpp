#include "app/accessible_interfaces.h"

#include "app/menu_label.h"

#include <QAccessibleWidget>
#include <QFrame>

namespace kv {

namespace {

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

// A field's tip (the edit field's FieldTip) as assistive technology meets it: a tooltip named for
// its field, with nothing of what it shows.
class FieldTipAccessible : public QAccessibleWidget
{
public:
    explicit FieldTipAccessible(QWidget* tip) : QAccessibleWidget(tip, QAccessible::ToolTip) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? widget()->accessibleName() : QString();
    }
};

QAccessibleInterface* accessibleInterfaceFor(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("kv::FieldTip"))
        return new FieldTipAccessible(widget);
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

} // namespace kv

#include "app/controls.h"

#include <QCoreApplication>
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

} // namespace

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

void CheckBox::mouseReleaseEvent(QMouseEvent* event)
{
    const Qt::MouseButton button = event->button();
    const bool over = rect().contains(event->position().toPoint());
    QCheckBox::mouseReleaseEvent(event);
    if (over)
        emit mouseReleased(button);
}

} // namespace kv

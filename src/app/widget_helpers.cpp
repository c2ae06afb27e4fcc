#include "app/widget_helpers.h"

#include <QAction>
#include <QFrame>
#include <QWidget>

namespace kv {

QFont tahoma(int points, bool bold)
{
    QFont font(QStringLiteral("Tahoma"), points);
    font.setBold(bold);
    return font;
}

void place(QWidget* widget, TwipRect twips)
{
    widget->setGeometry(twips.toPixels());
}

void makeSunkenPanel(QFrame* frame)
{
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
}

QAction* makeAction(const QString& name, const QString& caption, QObject* parent, bool checkable, bool checked)
{
    auto* action = new QAction(caption, parent);
    action->setObjectName(name);
    action->setCheckable(checkable);
    action->setChecked(checked);
    return action;
}

} // namespace kv

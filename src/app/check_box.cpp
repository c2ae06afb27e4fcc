#include "app/check_box.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace kv {

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

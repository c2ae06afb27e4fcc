#include "app/shortcut_pass_through.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <utility>

namespace kv {

ShortcutPassThrough::ShortcutPassThrough(QList<QAction*> items, QObject* parent)
    : QObject(parent), m_items(std::move(items))
{
}

bool ShortcutPassThrough::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* item : m_items) {
            if (item->shortcut() == keys) {
                // Not overridden: the key goes on to the shortcut.
                event->ignore();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kv

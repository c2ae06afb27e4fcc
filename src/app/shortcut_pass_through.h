#pragma once
// Lets the window's shortcuts through a control that would take their keys for
// itself, as an edit field takes Ctrl+A.

#include <QList>
#include <QObject>

class QAction;

namespace kv {

// Lets the keys of `items` (the Copy items' Ctrl+A, Ctrl+U and Ctrl+P) reach the window's
// shortcuts from a control that would take them for itself, as an edit field takes Ctrl+A.
// Installed on each such control.
class ShortcutPassThrough : public QObject
{
    Q_OBJECT
public:
    ShortcutPassThrough(QList<QAction*> items, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QAction*> m_items;
};

} // namespace kv

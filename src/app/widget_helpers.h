#pragma once
// The few helpers the window's parts share to build their controls: the design's
// font, places in twips, the sunken panel and menu items.

#include "app/twips.h"

#include <QFont>
#include <QString>

class QAction;
class QFrame;
class QObject;
class QWidget;

namespace kv {

// The design's font (where Tahoma is missing, the platform puts its nearest).
QFont tahoma(int points, bool bold = false);
// Puts a control at its design place, in twips of its parent.
void place(QWidget* widget, TwipRect twips);
// The sunken, styled frame of the tools strip, the edit area and the lock's panel.
void makeSunkenPanel(QFrame* frame);
// A menu item with its design name and caption.
QAction* makeAction(const QString& name, const QString& caption, QObject* parent, bool checkable = false,
                    bool checked = false);

} // namespace kv

#pragma once
// The roles and actions assistive technology meets in the window where Qt's own
// would not do: the window itself, its framed areas, the Tools label and the
// edit fields' tips.

#include <QString>

class QFrame;

namespace kv {

// Gives the window, its framed areas and its menu label the roles and actions
// assistive technology expects of them. Once per program; later calls do nothing.
void installAccessibleInterfaces();

// A frame that groups controls, under the name a screen reader says for it.
void markAsGrouping(QFrame* frame, const QString& name);

} // namespace kv

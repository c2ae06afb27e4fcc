#pragma once
// Hands a text (an address, a file path) to the user's default handler for it,
// with a window as owner, without waiting for a result. main passes one built on
// QDesktopServices; tests pass their own to see what would have been opened.

#include <QString>
#include <functional>

class QWidget;

namespace kv {

using OpenWithDefaultHandler = std::function<void(const QString& target, QWidget* owner)>;

} // namespace kv

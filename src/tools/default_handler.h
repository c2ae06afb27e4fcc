#pragma once
// Hands a text (an address, a file path) to the user's default handler for it,
// with a window as owner, without waiting for a result. main passes one built on
// QDesktopServices; tests pass their own to see what would have been opened.

#include <QString>
#include <functional>

class QWidget;

namespace kv {

using OpenWithDefaultHandler = std::function<void(const QString& target, QWidget* owner)>;

// Tools tell the user something through the main window's caption: the function
// receives the text that follows "Keystead Vault - ".
using ShowMessage = std::function<void(const QString& text)>;

} // namespace kv

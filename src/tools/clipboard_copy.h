#pragma once
// Puts an edit field's text on the system clipboard. A password is marked as secret, so clipboard
// managers and the system's clipboard history leave it out.

#include "tools/default_handler.h"

#include <QString>

namespace kv {

// Empties the clipboard, then puts exactly `text` on it as plain text (an empty text too). False when
// the clipboard could not be taken, for instance while another program holds it open.
bool CopyToClipboard(const QString& text, bool secret);

// The Copy menu's items: copies and, when the clipboard is busy, says so through `message`.
void CopyFieldText(const QString& text, bool secret, const ShowMessage& message);

} // namespace kv

#pragma once
// Puts an edit field's text on the system clipboard. A password is marked as secret, so clipboard
// managers and the system's clipboard history leave it out, and it does not stay there: it is taken off
// again after a while and when the program closes.

#include "tools/default_handler.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>

class QMimeData;

namespace kv {

// Empties the clipboard, then puts exactly `text` on it as plain text (an empty text too). False when
// the clipboard could not be taken, for instance while another program holds it open.
bool CopyToClipboard(const QString& text, bool secret);

// The Copy menu's items: copies and, when the clipboard is busy, says so through `message`.
void CopyFieldText(const QString& text, bool secret, const ShowMessage& message);

// Copies passwords and takes each off the clipboard again, `delay` after the latest copy or at once
// through clearNow, but only while the clipboard still holds that very copy: whatever the user has
// copied since, here or in another program, is left alone.
class ClipboardClearer : public QObject
{
    Q_OBJECT
public:
    explicit ClipboardClearer(std::chrono::milliseconds delay, QObject* parent = nullptr);
    // Going away clears too: a password left on the clipboard would be handed to the desktop's
    // clipboard manager when the program ends.
    ~ClipboardClearer() override;

    // As CopyFieldText with a secret, and the wait starts again.
    void copyPassword(const QString& text, const ShowMessage& message);
    void clearNow();

private:
    bool clipboardStillHoldsOurCopy() const;

    QTimer m_timer;
    QString m_text;
    QPointer<const QMimeData> m_data; // the clipboard owns it, and deletes it once it holds something else
    bool m_pending = false;
};

} // namespace kv

#pragma once
// Puts an edit field's text on the system clipboard. A password is marked as secret, so clipboard
// managers and the system's clipboard history leave it out, and it does not stay there: it is taken off
// again after a while and when the program closes.

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

// The Copy menu's items. Copies a field's text and, when the clipboard is busy, says so. A password is
// taken off the clipboard again, `delay` after the latest copy or at once through clearNow, but only
// while the clipboard still holds that very copy: whatever the user has copied since, here or in
// another program, is left alone.
class ClipboardCopier : public QObject
{
    Q_OBJECT
public:
    explicit ClipboardCopier(std::chrono::milliseconds delay, QObject* parent = nullptr);
    // Going away clears too: a password left on the clipboard would be handed to the desktop's
    // clipboard manager when the program ends.
    ~ClipboardCopier() override;

    void copyText(const QString& text);
    // As a secret, and the wait starts again.
    void copyPassword(const QString& text);
    void clearNow();

signals:
    void messageShown(const QString& text); // "Clipboard is busy"

private:
    void sayWhenBusy(bool taken);
    bool clipboardStillHoldsOurCopy() const;

    QTimer m_timer;
    QString m_text;
    QPointer<const QMimeData> m_data; // the clipboard owns it, and deletes it once it holds something else
    bool m_pending = false;
};

} // namespace kv

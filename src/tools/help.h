#pragma once
// The help page, "help.html" beside the program, opened in the user's default handler from the Help
// item and by releasing F1 anywhere in the main window.

#include "tools/default_handler.h"

#include <QObject>
#include <filesystem>

class QWidget;

namespace kv {

// Hands `programFolder`/help.html to `open` with `mainWindow` as owner. A missing page does nothing:
// there is no help window to fall back on, and the program shows no message boxes.
void OpenHelp(const std::filesystem::path& programFolder, QWidget* mainWindow, const OpenWithDefaultHandler& open);

// Sees every key before the control with the focus does: tells `helpAsked` when F1 is released in any
// widget of `mainWindow` (not in other windows such as the generator), once however long the key was
// held. Installs itself on the application; owned by `mainWindow`.
class HelpKey : public QObject
{
    Q_OBJECT

public:
    explicit HelpKey(QWidget* mainWindow);

signals:
    void helpAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool inMainWindow(QObject* watched) const;

    QWidget* m_mainWindow;
    // The page was opened since F1 last went down: a held key's repeats open nothing more.
    bool m_openedThisPress = false;
    // When F1 last came up (0: never, or a platform that gives no times).
    quint64 m_lastReleaseTime = 0;
};

} // namespace kv

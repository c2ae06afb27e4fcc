#include "tools/help.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

#include <system_error>
#include <utility>

namespace kv {

void OpenHelp(const std::filesystem::path& programFolder, QWidget* mainWindow, const OpenWithDefaultHandler& open)
{
    const std::filesystem::path page = programFolder / "help.html";
    std::error_code error;
    if (!std::filesystem::is_regular_file(page, error) || !open)
        return;
    open(QString::fromStdU16String(page.u16string()), mainWindow);
}

HelpKey::HelpKey(QWidget* mainWindow) : QObject(mainWindow), m_mainWindow(mainWindow)
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool HelpKey::inMainWindow(QObject* watched) const
{
    const auto* widget = qobject_cast<QWidget*>(watched);
    return widget && widget->window() == m_mainWindow;
}

bool HelpKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1)
        return false;
    if (event->type() == QEvent::KeyPress) {
        // A held key repeats as a release and a press at the same instant. The platform marks them as
        // repeats only when it sees both at once; under load it may not, so the times tell as well.
        const bool repeat = key->isAutoRepeat() || (m_lastReleaseTime != 0 && key->timestamp() == m_lastReleaseTime);
        if (!repeat)
            m_openedThisPress = false;
        return false;
    }
    if (key->timestamp() != 0)
        m_lastReleaseTime = key->timestamp();
    if (key->isAutoRepeat() || !inMainWindow(watched))
        return false;
    // A release no control takes travels on to each parent in turn; taking it here opens the page once.
    if (m_openedThisPress)
        return true;
    m_openedThisPress = true;
    emit helpAsked();
    return true;
}

} // namespace kv

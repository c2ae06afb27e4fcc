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

HelpKey::HelpKey(QWidget* mainWindow, std::function<void()> openHelp)
    : QObject(mainWindow), m_mainWindow(mainWindow), m_openHelp(std::move(openHelp))
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool HelpKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyRelease)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->isAutoRepeat())
        return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != m_mainWindow)
        return false;
    if (m_openHelp)
        m_openHelp();
    // A release no control takes travels on to each parent in turn; taking it here opens the page once.
    return true;
}

} // namespace kv

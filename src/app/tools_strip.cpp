#include "app/tools_strip.h"

#include "app/accessible_interfaces.h"
#include "app/check_box.h"
#include "app/menu_label.h"
#include "app/object_names.h"
#include "app/widget_helpers.h"
#include "storage/database_choice.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>

namespace kv {

ToolsStrip::ToolsStrip(QWidget* window) : QFrame(window)
{
    setObjectName(objectNames::ToolsStrip);
    makeSunkenPanel(this);
    markAsGrouping(this, QStringLiteral("Databases and tools"));
    place(this, {45, -90, 7320, 360});

    const int checkLefts[3] = {165, 900, 1635};
    for (int i = 0; i < 3; ++i) {
        auto* box = new CheckBox(this);
        box->setObjectName(objectNames::databaseBox(i));
        // The boxes have no caption; a screen reader needs a name all the same.
        box->setAccessibleName(QStringLiteral("Database %1").arg(i + 1));
        place(box, {checkLefts[i], 105, 645, 195});
        connect(box, &CheckBox::mouseReleased, this, [this, i](Qt::MouseButton button) { onBoxReleased(i, button); });
        connect(box, &CheckBox::chosen, this, [this, i] { chooseFromKeyboard(i); });
        m_databaseBoxes[i] = box;
    }

    m_toolsLabel = new MenuLabel(QStringLiteral("Tools"), this);
    m_toolsLabel->setObjectName(objectNames::ToolsLabel);
    m_toolsLabel->setFont(tahoma(8, true));
    place(m_toolsLabel, {2390, 105, 525, 180});
    m_toolsLabel->installEventFilter(this);
    connect(m_toolsLabel, &MenuLabel::pressed, this, &ToolsStrip::openFileMenuFromKeyboard);

    m_fileMenu = new QMenu(QStringLiteral("File"), window);
    m_fileMenu->setObjectName(objectNames::FileMenu);
    // F10 is the platform's key for a window's menu; this window's menu opens at "Tools".
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), window);
    connect(menuKey, &QShortcut::activated, this, &ToolsStrip::openFileMenuFromKeyboard);
}

void ToolsStrip::showOpenDatabase(const std::string& base)
{
    for (int i = 0; i < 3; ++i)
        m_databaseBoxes[i]->setChecked(DataFileBaseFor(i) == base);
}

void ToolsStrip::onBoxReleased(int index, Qt::MouseButton button)
{
    if (button != Qt::LeftButton) {
        emit reloadAsked();
        return;
    }
    for (int i = 0; i < 3; ++i) {
        if (i != index)
            m_databaseBoxes[i]->setChecked(false);
    }
    emit databaseChosen(index);
}

void ToolsStrip::chooseFromKeyboard(int index)
{
    // As a left click on the box does; the box ends up checked.
    m_databaseBoxes[index]->setChecked(true);
    onBoxReleased(index, Qt::LeftButton);
}

bool ToolsStrip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_toolsLabel && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_toolsLabel->rect().contains(mouse->position().toPoint()))
            openFileMenu(QCursor::pos());
    }
    return QFrame::eventFilter(watched, event);
}

void ToolsStrip::openFileMenu(const QPoint& at)
{
    // The strip is disabled while the window is locked, but the label's events still
    // reach the strip's filter: nothing of the menu until the user has unlocked.
    if (!isEnabled())
        return;
    m_fileMenu->popup(at);
}

void ToolsStrip::openFileMenuFromKeyboard()
{
    if (!isEnabled())
        return;
    openFileMenu(m_toolsLabel->mapToGlobal(QPoint(0, m_toolsLabel->height())));
    if (!m_fileMenu->actions().isEmpty())
        m_fileMenu->setActiveAction(m_fileMenu->actions().first());
}

} // namespace kv

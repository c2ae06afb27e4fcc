#pragma once
// Small helpers shared by the Qt Test programs.

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace kvtest {

// Finds a child by object name and warns when it is missing (the test then
// fails on the null pointer).
template <typename T> T* named(QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qWarning("no child named %s", qPrintable(name));
    return found;
}
template <typename T> T* child(QObject* parent, const char* name)
{
    return named<T>(parent, QString::fromLatin1(name));
}

// A press and release of one button, with the move before them that a real
// pointer makes, at a point of the widget (its centre by default).
inline void click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint())
{
    if (at.isNull())
        at = widget->rect().center();
    QTest::mouseMove(widget, at);
    QTest::mousePress(widget, button, Qt::NoModifier, at);
    QTest::mouseRelease(widget, button, Qt::NoModifier, at);
}

} // namespace kvtest

#pragma once
// The small control kinds the main window needs beyond Qt's own, and the few
// helpers its parts share to build theirs.

#include "app/twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

class QAction;

namespace kv {

// The design's font (where Tahoma is missing, the platform puts its nearest).
QFont tahoma(int points, bool bold = false);
// Puts a control at its design place, in twips of its parent.
void place(QWidget* widget, TwipRect twips);
// The sunken, styled frame of the tools strip, the edit area and the lock's panel.
void makeSunkenPanel(QFrame* frame);
// A menu item with its design name and caption.
QAction* makeAction(const QString& name, const QString& caption, QObject* parent, bool checkable = false,
                    bool checked = false);

// Lets the keys of `items` (the Copy items' Ctrl+A, Ctrl+U and Ctrl+P) reach the window's
// shortcuts from a control that would take them for itself, as an edit field takes Ctrl+A.
// Installed on each such control.
class ShortcutPassThrough : public QObject
{
    Q_OBJECT
public:
    ShortcutPassThrough(QList<QAction*> items, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QAction*> m_items;
};

class FieldTip;

// An edit field that puts the caret after the last character, with nothing
// selected, whenever it receives the focus; masked text shows "*".
class EditField : public QLineEdit
{
    Q_OBJECT
public:
    explicit EditField(QWidget* parent = nullptr);
    ~EditField() override;

    // The tooltip is shown to the eye only: in a tip window of the field's own, which tells assistive
    // technology the field's name but never the tip's text (the Password field's tip is the password).
    void setTipForTheEyeOnly(bool on) { m_tipForTheEyeOnly = on; }

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void hideTip();

    bool m_tipForTheEyeOnly = false;
    QPointer<FieldTip> m_tip;
};

// A check box that tells which mouse button was released over it, after the
// release has toggled it as any check box does.
class CheckBox : public QCheckBox
{
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

signals:
    void mouseReleased(Qt::MouseButton button);
    // Enter or Return while the box has the focus: the keyboard's way to choose it.
    void chosen();

protected:
    // The whole box answers a click, not only its small indicator.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A label that opens a menu when clicked ("Tools"). To assistive technology it is
// a menu button that can be pressed; `pressed` tells that it was.
class MenuLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void pressed();
};

// Gives the window, its framed areas and its menu label the roles and actions
// assistive technology expects of them. Once per program; later calls do nothing.
void installAccessibleInterfaces();

// A frame that groups controls, under the name a screen reader says for it.
void markAsGrouping(QFrame* frame, const QString& name);

} // namespace kv

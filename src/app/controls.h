#pragma once
// Two small control kinds the main window needs beyond Qt's own.

#include <QCheckBox>
#include <QLineEdit>

namespace kv {

// An edit field that puts the caret after the last character, with nothing
// selected, whenever it receives the focus; masked text shows "*".
class EditField : public QLineEdit
{
    Q_OBJECT
public:
    explicit EditField(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;
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

protected:
    // The whole box answers a click, not only its small indicator.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace kv

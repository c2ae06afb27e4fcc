#pragma once
// The database boxes' check box: it tells which mouse button was released over
// it, and Enter or Return chooses it.

#include <QCheckBox>

namespace kv {

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

} // namespace kv

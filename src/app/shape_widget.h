#pragma once
// The window's decorative shapes and lines: drawn only, never in the way of the
// pointer, so moves over them reach the frame or window they lie on.

#include <QWidget>

namespace kv {

class ShapeWidget : public QWidget
{
public:
    enum class Kind { RoundedRectangle, Rectangle, VerticalLine };

    ShapeWidget(Kind kind, const QString& name, QWidget* parent);

    // A vertical line from (x, y1) to (x, y2), in twips of the parent.
    void setLine(int xTwips, int y1Twips, int y2Twips);
    int lineX() const { return m_x; }
    int lineY1() const { return m_y1; }
    int lineY2() const { return m_y2; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind;
    int m_x = 0;
    int m_y1 = 0;
    int m_y2 = 0;
};

} // namespace kv

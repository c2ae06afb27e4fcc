#include "app/shape_widget.h"

#include "app/twips.h"

#include <QPainter>
#include <algorithm>

namespace kv {

ShapeWidget::ShapeWidget(Kind kind, const QString& name, QWidget* parent) : QWidget(parent), m_kind(kind)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void ShapeWidget::setLine(int xTwips, int y1Twips, int y2Twips)
{
    m_x = xTwips;
    m_y1 = y1Twips;
    m_y2 = y2Twips;
    const int top = toPixels(std::min(y1Twips, y2Twips));
    const int bottom = toPixels(std::max(y1Twips, y2Twips));
    setGeometry(toPixels(xTwips), top, 1, bottom - top + 1);
}

void ShapeWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor ink = palette().color(QPalette::Dark);
    switch (m_kind) {
    case Kind::VerticalLine:
        painter.fillRect(rect(), ink);
        break;
    case Kind::Rectangle:
        painter.setPen(ink);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        break;
    case Kind::RoundedRectangle:
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(ink);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        break;
    }
}

} // namespace kv

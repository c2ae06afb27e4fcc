// The layout pass: on every resize the window's controls follow its size.

#include "app/frm_scrn.h"
#include "app/shape_widget.h"

#include <QFrame>
#include <QResizeEvent>
#include <QTableView>

namespace kv {

namespace {

// Design values the pass measures from; they never change at run time.
constexpr int Frame1Height = 1920;
constexpr int Frame3Top = 2100;
constexpr int Line1Top = 2355;
constexpr int Line2Top = 2355;
constexpr int Line2X = 30;

// A size below zero stops the pass where it is, as a window made very small would.
struct NegativeSize
{
};

int checked(int twips)
{
    if (twips < 0)
        throw NegativeSize{};
    return twips;
}

void setWidth(QWidget* widget, int twips)
{
    widget->resize(toPixels(checked(twips)), widget->height());
}

void setHeight(QWidget* widget, int twips)
{
    widget->resize(widget->width(), toPixels(checked(twips)));
}

} // namespace

void FrmScrn::layoutPass()
{
    const int sw = toTwips(width());
    const int sh = toTwips(height());
    try {
        if (isLocked()) {
            setWidth(m_lockPanel, sw - 50);
            setHeight(m_lockPanel, sh - Frame3Top - 10);
        } else {
            setHeight(m_recordList, sh - Frame1Height - 400);
            setHeight(m_shapes[7], sh - Frame1Height - 600);
            m_shapes[6]->move(m_shapes[6]->x(), toPixels(sh - 400));
            m_rightLine->setLine(m_rightLine->lineX(), Line1Top, sh - 380);
            m_leftLine->setLine(Line2X, Line2Top, sh - 150);
        }
        setWidth(m_editArea, sw - 100);
        setWidth(m_toolsStrip, sw - 100);
        setWidth(m_recordList, sw - 250);
        for (int i : {5, 6, 7})
            setWidth(m_shapes[i], sw - 80);
        m_rightLine->setLine(sw - 55, Line1Top, m_rightLine->lineY2());
    } catch (const NegativeSize&) {
        // The rest of the pass is skipped; the next resize tries again.
    }
}

void FrmScrn::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!isMinimized())
        layoutPass();
}

} // namespace kv

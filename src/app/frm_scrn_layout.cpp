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

// A size below zero stops the pass where it is, as a window made very small
// would: each step says whether the pass goes on.
bool setWidth(QWidget* widget, int twips)
{
    if (twips < 0)
        return false;
    widget->resize(toPixels(twips), widget->height());
    return true;
}

bool setHeight(QWidget* widget, int twips)
{
    if (twips < 0)
        return false;
    widget->resize(widget->width(), toPixels(twips));
    return true;
}

} // namespace

void FrmScrn::layoutPass()
{
    // Where a step meets a size below zero, the rest of the pass is skipped; the
    // next resize tries again.
    const int sw = toTwips(width());
    const int sh = toTwips(height());
    if (isLocked()) {
        if (!setWidth(m_lockPanel, sw - 50) || !setHeight(m_lockPanel, sh - Frame3Top - 10))
            return;
    } else {
        if (!setHeight(m_recordList, sh - Frame1Height - 400) || !setHeight(m_shapes[7], sh - Frame1Height - 600))
            return;
        m_shapes[6]->move(m_shapes[6]->x(), toPixels(sh - 400));
        m_rightLine->setLine(m_rightLine->lineX(), Line1Top, sh - 380);
        m_leftLine->setLine(Line2X, Line2Top, sh - 150);
    }
    if (!setWidth(m_editArea, sw - 100) || !setWidth(m_toolsStrip, sw - 100) || !setWidth(m_recordList, sw - 250))
        return;
    for (int i : {5, 6, 7}) {
        if (!setWidth(m_shapes[i], sw - 80))
            return;
    }
    m_rightLine->setLine(sw - 55, Line1Top, m_rightLine->lineY2());
}

void FrmScrn::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!isMinimized())
        layoutPass();
}

} // namespace kv

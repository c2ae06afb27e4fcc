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
            setWidth(Frame3, sw - 50);
            setHeight(Frame3, sh - Frame3Top - 10);
        } else {
            setHeight(ListView1, sh - Frame1Height - 400);
            setHeight(Shape1[7], sh - Frame1Height - 600);
            Shape1[6]->move(Shape1[6]->x(), toPixels(sh - 400));
            Line1->setLine(Line1->lineX(), Line1Top, sh - 380);
            Line2->setLine(Line2X, Line2Top, sh - 150);
        }
        setWidth(Frame1, sw - 100);
        setWidth(Frame2, sw - 100);
        setWidth(ListView1, sw - 250);
        for (int i : {5, 6, 7})
            setWidth(Shape1[i], sw - 80);
        Line1->setLine(sw - 55, Line1Top, Line1->lineY2());
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

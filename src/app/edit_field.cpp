#include "app/edit_field.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

namespace kv {

// Looks like the platform's tooltip but is not Qt's own, whose label gives its text to assistive
// technology: the factory in accessible_interfaces.cpp gives this class an interface that keeps the
// text to the screen.
class FieldTip : public QLabel
{
    Q_OBJECT
public:
    explicit FieldTip(QWidget* field) : QLabel(field, Qt::ToolTip | Qt::BypassGraphicsProxyWidget)
    {
        setTextFormat(Qt::PlainText); // a password may well look like markup
        setForegroundRole(QPalette::ToolTipText);
        setBackgroundRole(QPalette::ToolTipBase);
        setPalette(QToolTip::palette());
        setFont(QToolTip::font());
        ensurePolished();
        setMargin(1 + style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, this));
        setFrameStyle(QFrame::NoFrame);
        setAlignment(Qt::AlignLeft);
        setIndent(1);
        setWindowOpacity(style()->styleHint(QStyle::SH_ToolTipLabel_Opacity, nullptr, this) / 255.0);
        setAttribute(Qt::WA_ShowWithoutActivating);
        m_expiry.setSingleShot(true);
        m_expiry.setInterval(10000); // as long as Qt keeps a short tip up
        connect(&m_expiry, &QTimer::timeout, this, &QWidget::hide);
    }

    // Below and right of the pointer as Qt places its tips, kept on the pointer's screen.
    void showAt(const QString& text, const QPoint& pointer)
    {
        setText(text);
        resize(sizeHint());
#ifdef Q_OS_WIN
        QPoint at = pointer + QPoint(2, 21);
#else
        QPoint at = pointer + QPoint(2, 16);
#endif
        const QScreen* screen = QGuiApplication::screenAt(pointer);
        if (!screen)
            screen = parentWidget()->screen();
        const QRect area = screen->availableGeometry();
        if (at.x() + width() > area.right())
            at.rx() -= 4 + width();
        if (at.y() + height() > area.bottom())
            at.ry() -= 24 + height();
        move(std::max(at.x(), area.left()), std::max(at.y(), area.top()));
        show();
        m_expiry.start();
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        qApp->installEventFilter(this);
        QLabel::showEvent(event);
    }
    void hideEvent(QHideEvent* event) override
    {
        qApp->removeEventFilter(this);
        m_expiry.stop();
        QLabel::hideEvent(event);
    }
    // Any key or button, anywhere, puts the tip away, as it does Qt's own.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::WindowDeactivate:
            hide();
            break;
        default:
            break;
        }
        return QLabel::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent* event) override
    {
        QStylePainter painter(this);
        QStyleOptionFrame option;
        option.initFrom(this);
        painter.drawPrimitive(QStyle::PE_PanelTipLabel, option);
        painter.end();
        QLabel::paintEvent(event);
    }

private:
    QTimer m_expiry;
};

namespace {

// The platform's password bullet would differ from what the list shows; the
// field masks with "*" everywhere.
class AsteriskMaskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return QLatin1Char('*').unicode();
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

EditField::EditField(QWidget* parent) : QLineEdit(parent)
{
    // One style for all fields, living as long as the application.
    static QPointer<AsteriskMaskStyle> shared;
    if (!shared) {
        shared = new AsteriskMaskStyle;
        shared->setParent(QCoreApplication::instance());
    }
    setStyle(shared);
    connect(this, &QLineEdit::textChanged, this, &EditField::hideTip);
}

EditField::~EditField() = default;

bool EditField::event(QEvent* event)
{
    if (m_tipForTheEyeOnly) {
        switch (event->type()) {
        case QEvent::ToolTip:
            if (toolTip().isEmpty())
                break; // Qt hands the request on to the area around the field
            if (!m_tip)
                m_tip = new FieldTip(this);
            m_tip->setAccessibleName(accessibleName());
            m_tip->showAt(toolTip(), static_cast<QHelpEvent*>(event)->globalPos());
            return true;
        case QEvent::Leave:
        case QEvent::ToolTipChange:
        case QEvent::Hide:
        case QEvent::EnabledChange:
            hideTip();
            break;
        default:
            break;
        }
    }
    return QLineEdit::event(event);
}

void EditField::hideTip()
{
    if (m_tip)
        m_tip->hide();
}

void EditField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // Tabbing in would select the whole text; the caret goes to the end instead.
    deselect();
    end(false);
}

} // namespace kv

#include "edit_field.moc"

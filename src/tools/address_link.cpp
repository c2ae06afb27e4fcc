#include "tools/address_link.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>

#include <utility>

namespace kv {
namespace {

// A text reads as an address once something of at least three characters follows its first dot.
constexpr qsizetype MinimumAfterDot = 3;

// The scheme a text names ("http" in "http://..."), or nothing. "host.example:8080/" names none: a
// scheme is never followed by a port number.
std::optional<QString> schemeOf(const QString& text)
{
    qsizetype colon = 0;
    while (colon < text.size()) {
        const QChar c = text[colon];
        const bool ascii = c.unicode() < 128;
        if (!(ascii && (c.isLetter() || (colon > 0 && (c.isDigit() || c == u'+' || c == u'-' || c == u'.')))))
            break;
        ++colon;
    }
    if (colon == 0 || colon >= text.size() || text[colon] != u':')
        return std::nullopt;
    qsizetype digits = colon + 1;
    while (digits < text.size() && text[digits].isDigit() && text[digits].unicode() < 128)
        ++digits;
    const bool port = digits > colon + 1 && (digits == text.size() || QStringLiteral("/?#").contains(text[digits]));
    if (port)
        return std::nullopt;
    return text.left(colon).toLower();
}

// A host name with a dot ("www.example.com", also with letters beyond ASCII), then optionally a port
// and a path, without blanks or characters a shell would act on.
bool looksLikeWebAddress(const QString& text)
{
    static const QString ShellCharacters = QStringLiteral("\\\"'<>|^&`$;{}");
    bool dotInHost = false;
    bool inHost = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSpace() || c.category() == QChar::Other_Control || ShellCharacters.contains(c))
            return false;
        if (!inHost)
            continue;
        if (c == u':' || c == u'/' || c == u'?' || c == u'#') {
            inHost = false;
        } else if (c == u'.') {
            dotInHost = dotInHost || i > 0;
        } else if (!c.isLetterOrNumber() && c != u'-') {
            return false;
        }
    }
    return !text.isEmpty() && text[0].isLetterOrNumber() && dotInHost;
}

} // namespace

std::optional<QString> addressToOpen(const QString& text)
{
    if (const std::optional<QString> scheme = schemeOf(text)) {
        for (const char* web : {"http", "https", "ftp"}) {
            if (*scheme == QLatin1String(web) && text.mid(scheme->size(), 3) == QLatin1String("://"))
                return text;
        }
        if (*scheme == QLatin1String("mailto"))
            return text;
        return std::nullopt;
    }
    if (looksLikeWebAddress(text))
        return QStringLiteral("http://") + text;
    return std::nullopt;
}

AddressLink::AddressLink(AddressLinkWidgets widgets, OpenWithDefaultHandler open)
    : QObject(widgets.window), m_w(widgets), m_open(std::move(open))
{
    for (std::size_t i = 0; i < m_w.schemeItems.size(); ++i) {
        QAction* item = m_w.schemeItems[i];
        item->setCheckable(true);
        item->setChecked(i == 0);
        connect(item, &QAction::triggered, this, [this, i] { chooseScheme(i); });
    }
    // Moves without a button pressed reach only widgets that track the mouse.
    m_w.address->setMouseTracking(true);
    m_w.editArea->setMouseTracking(true);
    m_w.address->installEventFilter(this);
    m_w.editArea->installEventFilter(this);
}

void AddressLink::SetAddressPrefix()
{
    for (const QAction* item : m_w.schemeItems) {
        if (item->isChecked())
            m_w.address->setText(prefixOf(item));
    }
}

bool AddressLink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_w.address) {
        if (event->type() == QEvent::MouseMove) {
            hover();
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            open();
        }
    } else if (watched == m_w.editArea && event->type() == QEvent::MouseMove) {
        // Moves over a control inside the frame that let the event pass on are not the frame's own.
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (!m_w.editArea->childAt(at))
            leave();
    }
    return QObject::eventFilter(watched, event);
}

void AddressLink::chooseScheme(std::size_t index)
{
    // Checkable items uncheck themselves when triggered while checked: set every mark explicitly.
    for (std::size_t i = 0; i < m_w.schemeItems.size(); ++i)
        m_w.schemeItems[i]->setChecked(i == index);
    SetAddressPrefix();
}

QString AddressLink::prefixOf(const QAction* item) const
{
    QString caption = item->text();
    caption.remove(QLatin1Char('&'));
    return caption.toLower() + QLatin1String("://");
}

void AddressLink::hover()
{
    const QString text = m_w.address->text();
    for (const QAction* item : m_w.schemeItems) {
        if (item->isChecked() && text == prefixOf(item))
            return;
    }
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0 || text.size() - dot - 1 < MinimumAfterDot)
        return;
    showAsLink(true);
}

void AddressLink::leave()
{
    if (m_isLink)
        showAsLink(false);
}

void AddressLink::open()
{
    const QString text = m_w.address->text();
    if (text.isEmpty() || !m_isLink)
        return;
    const std::optional<QString> target = addressToOpen(text);
    if (!target) {
        emit messageShown(QStringLiteral("Only web and mail addresses are opened"));
        return;
    }
    if (m_open)
        m_open(*target, m_w.window);
}

void AddressLink::showAsLink(bool link)
{
    m_isLink = link;
    QFont font = m_w.address->font();
    if (font.underline() != link) {
        font.setUnderline(link);
        m_w.address->setFont(font);
    }

    QPalette palette = m_w.address->palette();
    const QPalette system = QApplication::palette(m_w.address);
    // A disabled field (the window locked) keeps the system's grey.
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Text, link ? QColor(0, 0, 255) : system.color(group, QPalette::Text));
    m_w.address->setPalette(palette);

    if (link)
        m_w.window->setCursor(Qt::ArrowCursor);
    else
        m_w.window->unsetCursor();
}

} // namespace kv

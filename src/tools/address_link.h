#pragma once
// The address field's scheme and its link behaviour. The "Addresses are" items choose the scheme
// whose prefix pre-fills the field. A pointer passing over a text that looks like an address turns the
// field into a blue, underlined link, and a left-button release on it hands the text to the user's
// default handler. Only a move over the edit frame's own surface turns the link back into plain text.

#include "tools/default_handler.h"

#include <QObject>
#include <QPalette>
#include <array>
#include <optional>

class QAction;
class QLineEdit;
class QWidget;

namespace kv {

// What a click on the address hands to the default handler, or nothing when the text must not be
// opened. A data file is only as trustworthy as whoever could write to it, so only web and mail
// addresses go out: http, https and ftp ones and "mailto:" as they are, and an address typed without a
// scheme ("www.example.com") with "http://" in front, as the platform's shell would take it. Other
// schemes (file:, javascript:, ...), paths and text with blanks or shell characters are refused.
std::optional<QString> addressToOpen(const QString& text);

// The widgets the link works with.
struct AddressLinkWidgets
{
    QLineEdit* address = nullptr;          // the Address field
    QWidget* editArea = nullptr;           // the frame holding the edit fields: a move over it ends the link
    QWidget* window = nullptr;             // the main window: owner of what opens, and its pointer shape
    std::array<QAction*, 3> schemeItems{}; // "HTTP", "HTTPS", "FTP"
};

class AddressLink : public QObject
{
    Q_OBJECT

public:
    // Takes over the scheme items' check marks (HTTP checked) and watches the pointer over the field and
    // the edit area, switching mouse tracking on for both. Owned by the main window.
    AddressLink(AddressLinkWidgets widgets, OpenWithDefaultHandler open);

    // Writes the checked scheme's prefix ("http://", ...) into the address field, replacing its text.
    void SetAddressPrefix();

    // True while the field looks like a link; only then does a left-button release open it.
    bool isLink() const { return m_isLink; }

signals:
    // An address the link would not open ("Only web and mail addresses are opened").
    void messageShown(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void chooseScheme(std::size_t index);
    QString prefixOf(const QAction* item) const;
    void hover();
    void leave();
    void open();
    void showAsLink(bool link);

    AddressLinkWidgets m_w;
    OpenWithDefaultHandler m_open;
    bool m_isLink = false;
};

} // namespace kv

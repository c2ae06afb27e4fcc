#include "tools/frm_gen.h"

#include "generator/password_generator.h"
#include "product/product.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <system_error>

namespace kv {
namespace {

constexpr int InitialLength = 16;
const char* const LengthText = " characters password.   Click to change length";

} // namespace

FrmGen::FrmGen(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_label(new QLabel(this)), m_text(new QLineEdit(this)), m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setObjectName(generatorNames::Window);
    setWindowTitle(QStringLiteral(" Generated Password "));
    setFixedSize(304, 126);
    setModal(true);

    m_label->setObjectName(generatorNames::LengthLabel);
    m_label->setGeometry(2, 11, 299, 21);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setFocusPolicy(Qt::NoFocus);
    m_label->setText(QString::number(InitialLength) + QLatin1String(LengthText));
    m_label->setAccessibleDescription(QStringLiteral("Left click or Up arrow: one character more. Right click or Down "
                                                     "arrow: one less. Middle click or F5: a new password."));
    m_label->installEventFilter(this);

    m_text->setObjectName(generatorNames::Password);
    m_text->setAccessibleName(QStringLiteral("Generated password"));
    m_text->setGeometry(18, 38, 267, 19);

    // Enter must not close the window: the user may press it in the field without losing the password.
    m_close->setObjectName(generatorNames::Close);
    m_close->setGeometry(124, 86, 57, 21);
    m_close->setAutoDefault(false);
    m_close->setDefault(false);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);

    setTabOrder(m_text, m_close);
    showPassword(InitialLength);
    m_text->setFocus(Qt::OtherFocusReason);
}

bool FrmGen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_label && event->type() == QEvent::MouseButtonRelease)
        changeLength(static_cast<QMouseEvent*>(event)->button());
    return QDialog::eventFilter(watched, event);
}

void FrmGen::keyPressEvent(QKeyEvent* event)
{
    // The window has no cancel button: Esc leaves it open, as Enter does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    // The label's three clicks from the keyboard; the field passes these keys on.
    if (event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Up:
            changeLength(Qt::LeftButton);
            return;
        case Qt::Key_Down:
            changeLength(Qt::RightButton);
            return;
        case Qt::Key_F5:
            changeLength(Qt::MiddleButton);
            return;
        default:
            break;
        }
    }
    QDialog::keyPressEvent(event);
}

void FrmGen::changeLength(Qt::MouseButton button)
{
    const QString caption = m_label->text();
    const qsizetype blank = caption.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return;
    int length = caption.left(blank).toInt();
    if (button == Qt::LeftButton)
        ++length;
    else if (button == Qt::RightButton)
        --length;
    if (length < 1 || length > MaxLength)
        return;
    m_label->setText(QString::number(length) + caption.mid(blank));
    showPassword(length);
}

void FrmGen::showPassword(int length)
{
    QString password;
    try {
        password = QString::fromStdString(GeneratePassword(length));
    } catch (const std::system_error&) {
        // The system could not give us random bytes: no password is better than a guessable one, and an
        // exception must not travel out through Qt's event handling.
    }
    m_text->setText(password);
    m_text->selectAll();
}

void SuggestPassword(QWidget* owner)
{
    auto* window = new FrmGen(owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->exec();
}

} // namespace kv

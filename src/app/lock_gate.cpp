#include "app/lock_gate.h"

#include <QLabel>
#include <QLineEdit>

namespace kv {

namespace {

qsizetype lengthOf(const std::string& text)
{
    return QString::fromStdString(text).size();
}

} // namespace

LockGate::LockGate(LockWidgets widgets, const SettingsStore& settings, std::function<void()> clearEditFields,
                   std::function<void()> layoutPass, QObject* parent)
    : QObject(parent), m_w(widgets), m_settings(settings), m_clearEditFields(std::move(clearEditFields)),
      m_layoutPass(std::move(layoutPass))
{
    // Programmatic changes count too, as when a row is loaded or the fields cleared.
    connect(m_w.username, &QLineEdit::textChanged, this, &LockGate::check);
    connect(m_w.password, &QLineEdit::textChanged, this, &LockGate::check);
}

void LockGate::applyAtStart(const CredentialSlots& stored)
{
    if (stored[2].empty())
        return;
    m_w.label3->setText(QStringLiteral("Authentication required.   Please enter username and password"));
    m_w.label3->setVisible(true);
    m_w.frame3->setVisible(true);
    m_w.frame3->raise();
    m_w.frame2->setEnabled(false);
    m_w.list->setEnabled(false);
    m_expectedLength = QString::number(lengthOf(stored[2]) + lengthOf(stored[1]));
}

void LockGate::check()
{
    if (m_expectedLength.isEmpty())
        return;
    if (m_w.username->text().size() + m_w.password->text().size() != m_expectedLength.toLongLong())
        return;
    CredentialSlots stored;
    LockRecordIO(m_settings, stored, LockRead);
    if (m_w.password->text().toStdString() != stored[2] || m_w.username->text().toStdString() != stored[1])
        return;
    m_w.frame1->setEnabled(true);
    m_w.frame2->setEnabled(true);
    m_expectedLength.clear();
    m_w.frame3->setVisible(false);
    m_w.list->setEnabled(true);
    m_clearEditFields();
    m_layoutPass();
}

} // namespace kv

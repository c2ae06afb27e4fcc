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

LockGate::LockGate(LockWidgets widgets, const SettingsStore& settings, QObject* parent)
    : QObject(parent), m_w(widgets), m_settings(settings)
{
    // Programmatic changes count too, as when a row is loaded or the fields cleared.
    connect(m_w.username, &QLineEdit::textChanged, this, &LockGate::check);
    connect(m_w.password, &QLineEdit::textChanged, this, &LockGate::check);
}

void LockGate::applyAtStart(const Credentials& stored)
{
    if (stored.password.empty())
        return;
    m_w.message->setText(QStringLiteral("Authentication required.   Please enter username and password"));
    m_w.message->setVisible(true);
    m_w.panel->setVisible(true);
    m_w.panel->raise();
    m_w.toolsStrip->setEnabled(false);
    m_w.list->setEnabled(false);
    m_w.shown->setRecordsShown(false);
    m_expectedLength = lengthOf(stored.password) + lengthOf(stored.user);
    emit lockedChanged(true);
}

void LockGate::check()
{
    if (!m_expectedLength)
        return;
    if (m_w.username->text().size() + m_w.password->text().size() != *m_expectedLength)
        return;
    const Credentials stored = ReadLockRecord(m_settings).value_or(Credentials{});
    if (m_w.password->text().toStdString() != stored.password || m_w.username->text().toStdString() != stored.user)
        return;
    m_w.editArea->setEnabled(true);
    m_w.toolsStrip->setEnabled(true);
    m_expectedLength.reset();
    m_w.panel->setVisible(false);
    m_w.shown->setRecordsShown(true);
    m_w.list->setEnabled(true);
    emit lockedChanged(false);
}

} // namespace kv

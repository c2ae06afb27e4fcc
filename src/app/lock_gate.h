#pragma once
// The optional log-in to the program: a locked start covers the list and disables
// the tools strip until the stored user name and password are typed.

#include "lock/lock_record.h"

#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QWidget;

namespace kv {

struct LockWidgets
{
    QWidget* frame1 = nullptr; // edit area
    QWidget* frame2 = nullptr; // tools strip
    QWidget* frame3 = nullptr; // covering panel
    QWidget* list = nullptr;   // under the panel: out of reach of the keyboard while locked
    QLabel* label3 = nullptr;
    QLineEdit* username = nullptr;
    QLineEdit* password = nullptr;
};

class LockGate : public QObject
{
    Q_OBJECT
public:
    LockGate(LockWidgets widgets, const SettingsStore& settings, std::function<void()> clearEditFields,
             std::function<void()> layoutPass, QObject* parent = nullptr);

    // At load: locks the window when a password is stored.
    void applyAtStart(const CredentialSlots& stored);

private:
    void check();

    LockWidgets m_w;
    const SettingsStore& m_settings;
    std::function<void()> m_clearEditFields;
    std::function<void()> m_layoutPass;
    // Length of the stored password plus user name while locked; empty means unlocked.
    QString m_expectedLength;
};

} // namespace kv

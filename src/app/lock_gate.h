#pragma once
// The optional log-in to the program: a locked start covers the list and disables
// the tools strip until the stored user name and password are typed.

#include "lock/lock_record.h"
#include "records/shown_records_model.h"

#include <QObject>
#include <QString>
#include <optional>

class QLabel;
class QLineEdit;
class QWidget;

namespace kv {

struct LockWidgets
{
    QWidget* editArea = nullptr;        // stays usable: the credentials are typed there
    QWidget* toolsStrip = nullptr;      // disabled while locked
    QWidget* panel = nullptr;           // covers the list while locked
    QWidget* list = nullptr;            // under the panel: out of reach of the keyboard while locked
    ShownRecordsModel* shown = nullptr; // what the list shows: no rows at all while locked
    QLabel* message = nullptr;          // on the panel
    QLineEdit* username = nullptr;
    QLineEdit* password = nullptr;
};

class LockGate : public QObject
{
    Q_OBJECT
public:
    LockGate(LockWidgets widgets, const SettingsStore& settings, QObject* parent = nullptr);

    // At load: locks the window when a password is stored.
    void applyAtStart(const Credentials& stored);
    bool isLocked() const { return m_expectedLength.has_value(); }

signals:
    // Locked at the start, or unlocked once the stored credentials were typed.
    void lockedChanged(bool locked);

private:
    void check();

    LockWidgets m_w;
    const SettingsStore& m_settings;
    // While locked: the length of the stored password plus that of the user name.
    // Only when the typed lengths add up to it is the record read and compared.
    std::optional<qsizetype> m_expectedLength;
};

} // namespace kv

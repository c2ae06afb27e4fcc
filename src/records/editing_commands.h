#pragma once
// The toolbar's four commands: Add, Remove, Replace and Clear. Each reads the
// edit fields and the list's selected row, has the vault apply its rules and
// write the change, shows what came of it, and (when it ran to its end) empties
// the edit fields. Loading a row into the fields lives here too, since Remove
// compares with what was loaded.

#include "records/edit_fields.h"
#include "vault/vault.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QAction;
class QLineEdit;
class QTableView;

namespace kv {

// The toolbar's buttons, in their order.
enum class ToolbarCommand { Add = 1, Remove = 2, Replace = 3, Clear = 4 };

// The few widgets the commands read and write.
struct EditingWidgets
{
    EditFields fields;
    const QTableView* list = nullptr;
    QAction* retainUser = nullptr;
};

// The commands tell the window what came of them through their signals.
class EditingCommands : public QObject
{
    Q_OBJECT
public:
    // `clock` gives the time a command records.
    EditingCommands(EditingWidgets widgets, Vault& vault, std::function<QDateTime()> clock, QObject* parent = nullptr);

    // The list whose selected row Remove and Replace change; made after the edit area, it comes later.
    void setList(const QTableView* list) { m_w.list = list; }

    // While the program's log-in is armed and not passed, nothing of the list may change.
    void setLocked(bool locked) { m_locked = locked; }

    void Add();
    void Remove();
    void Replace();
    // Clear is the toolbar's command (the caption back to the title, then the
    // fields emptied); ClearEditFields is the emptying alone, which every command
    // ends with. Both names are the design's.
    void Clear();
    void ClearEditFields();

    // Copies a record into the edit fields (Address, Service, Username, Password,
    // Comments, one at a time) and its recorded time into the caption.
    void LoadRecord(const Record& record);

signals:
    void messageShown(const QString& text);      // the text after "Keystead Vault - "
    void captionChanged(const QString& caption); // the whole caption
    void fieldsEmptied();                        // the address field is to take its prefix

private:
    QLineEdit* field(FieldIndex index) const { return m_w.fields[index]; }
    Record recordFromFields() const;
    std::optional<int> selectedRow() const;
    QString recordedNow() const;
    // Shows the outcome's message, and empties the fields when the command ran to its end.
    void finish(const Outcome& outcome);

    EditingWidgets m_w;
    Vault& m_vault;
    std::function<QDateTime()> m_clock;
    bool m_locked = false;
    // The password of the record last loaded into the fields: Remove disarms the
    // lock only when it is the stored one. Clearing the fields keeps it.
    std::string m_loadedPassword;
};

} // namespace kv

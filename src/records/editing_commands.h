#pragma once
// The toolbar's four commands: Add, Remove, Replace and Clear. Each reads the
// edit fields and the list's selected row, has the vault apply its rules and
// write the change, shows what came of it, and (when it ran to its end) empties
// the edit fields. Loading a row into the fields lives here too, since Remove
// compares with what was loaded.

#include "records/edit_fields.h"
#include "vault/vault.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

class QAction;
class QTableView;

namespace kv {

// The toolbar's buttons, in their order.
enum class ToolbarCommand { Add = 1, Remove = 2, Replace = 3, Clear = 4 };

// The few widgets the commands read and write.
struct EditingWidgets
{
    EditFields fields;
    QTableView* list = nullptr;
    QAction* retainUser = nullptr;
};

// What the commands need from the window around them.
struct EditingHooks
{
    std::function<QDateTime()> clock;
    std::function<bool()> isLocked;
    std::function<void()> setAddressPrefix;
    std::function<void(const QString&)> showMessage; // the text after "Keystead Vault - "
    std::function<void(const QString&)> setCaption;  // the whole caption
};

class EditingCommands
{
public:
    EditingCommands(EditingWidgets widgets, Vault& vault, EditingHooks hooks);

    void run(ToolbarCommand command);
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

private:
    Record recordFromFields() const;
    std::optional<int> selectedRow() const;
    QString recordedNow() const;
    // Shows the outcome's message, and empties the fields when the command ran to its end.
    void finish(const Outcome& outcome);

    EditingWidgets m_w;
    Vault& m_vault;
    EditingHooks m_hooks;
    // The password of the record last loaded into the fields: Remove disarms the
    // lock only when it is the stored one. Clearing the fields keeps it.
    std::string m_loadedPassword;
};

} // namespace kv

#pragma once
// The toolbar's four commands: Add, Remove, Replace and Clear. Each works on the
// edit fields and the list's selected row and writes its change to the data file
// before it ends; each ends by emptying the edit fields. Loading a row into the
// fields lives here too, since Remove compares with what was loaded.

#include "records/edit_fields.h"
#include "records/record_list_model.h"
#include "settings/settings_store.h"
#include "storage/open_database.h"

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
    EditingCommands(EditingWidgets widgets, RecordListModel& model, OpenDatabase& database,
                    const SettingsStore& settings, EditingHooks hooks);

    void run(ToolbarCommand command);
    void Add();
    void Remove();
    void Replace();
    void Clear();
    void ClearEditFields();

    // Copies a record into the edit fields (Address, Service, Username, Password,
    // Comments, one at a time) and its recorded time into the caption.
    void LoadRecord(const Record& record);

    // Both say whether the lock record was stored.
    bool SetLockCredentials();
    bool ClearLockCredentials();

    // Why the fields cannot be stored as `record`, or nothing when they can.
    static std::optional<QString> refusal(const Record& record);
    // "Could not <verb> db1.ksd", and why where the system said.
    static QString fileFailure(const char* verb, const OpenDatabase& database);

private:
    Record recordFromFields() const;
    std::optional<int> selectedRow() const;
    std::optional<int> findService(const std::string& service) const;
    QString recordedNow() const;
    void reportWriteFailure();
    // Whether Remove and Replace may change the list: only while the window is
    // unlocked and a full save could write it over the file without losing
    // entries. Says why not in the caption; holds the write lock until the save.
    OpenDatabase::Rewriting startRewrite();
    void save(OpenDatabase::Rewriting& rewriting);

    EditingWidgets m_w;
    RecordListModel& m_model;
    OpenDatabase& m_database;
    const SettingsStore& m_settings;
    EditingHooks m_hooks;
    // The password of the record last loaded into the fields: Remove disarms the
    // lock only when it is the stored one. Clearing the fields keeps it.
    std::string m_loadedPassword;
};

} // namespace kv

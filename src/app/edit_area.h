#pragma once
// The edit area ("Frame1"): the five edit fields with their labels and frames, the
// toolbar's Add, Remove, Replace and Clear, and the File menu's items that work on
// the fields (Retain Username, Hide Passwords, "Addresses are", Copy).

#include "app/environment.h"
#include "records/edit_fields.h"
#include "records/editing_commands.h"
#include "vault/vault.h"

#include <QFrame>
#include <QList>
#include <array>

class QAction;
class QMenu;
class QTableView;
class QToolBar;

namespace kv {

class AddressLink;
class ClipboardCopier;
class EditField;

class EditArea : public QFrame
{
    Q_OBJECT
public:
    // The menus hang off `window`, whose font they take.
    EditArea(Vault& vault, const Environment& env, QWidget* window);

    // The list is made after the edit area; the commands change its selected row.
    void setRecordList(const QTableView* list);

    QLineEdit* field(FieldIndex index) const { return m_fields[index]; }
    // The fields in tab order, then the toolbar's buttons.
    QList<QWidget*> tabOrder() const;

    // For the File menu, which the window puts together.
    QAction* retainUserAction() const { return m_retainUserAction; }
    QAction* hideAction() const { return m_hideAction; }
    QMenu* schemeMenu() const { return m_schemeMenu; }
    QMenu* copyMenu() const { return m_copyMenu; }
    // URL, Username and Password, with their shortcuts Ctrl+A, Ctrl+U and Ctrl+P.
    QList<QAction*> copyActions() const;

    // While the program's log-in is armed and not passed, the commands change nothing.
    void setLocked(bool locked);
    // While a sealed database's panel asks for its password, the Password field
    // takes it: masked whatever Hide Passwords says, and Copy > Password copies nothing.
    void setDatabasePasswordAsked(bool asked);
    void ClearEditFields();
    void LoadRecord(const Record& record);
    // A password still on the clipboard is taken off (the window is closing).
    void clearCopiedPassword();

signals:
    void messageShown(const QString& text);      // the text after "Keystead Vault - "
    void captionChanged(const QString& caption); // the whole caption

private:
    void buildFields();
    void buildToolbar();
    void buildMenuItems();
    void toggleHide();
    void applyPasswordMask();
    void copyAddress();
    void copyUsername();
    void copyPassword();

    EditFields m_fields;
    QToolBar* m_toolbar = nullptr;              // Toolbar1
    std::array<QAction*, 4> m_commandButtons{}; // Toolbar1_1 .. Toolbar1_4: Add, Remove, Replace, Clear
    EditingCommands* m_commands = nullptr;
    AddressLink* m_addressLink = nullptr;
    ClipboardCopier* m_clipboard = nullptr;
    bool m_databasePasswordAsked = false;

    QAction* m_retainUserAction = nullptr;     // mnuRetainUser
    QAction* m_hideAction = nullptr;           // mnuHide
    QMenu* m_schemeMenu = nullptr;             // Tadress, "Addresses are"
    std::array<QAction*, 3> m_schemeActions{}; // mnuAddress_0 .. mnuAddress_2: HTTP, HTTPS, FTP
    QMenu* m_copyMenu = nullptr;               // Tcopy, "Copy"
    QAction* m_copyAddressAction = nullptr;    // mnuCopyURL
    QAction* m_copyUserAction = nullptr;       // mnuCopyUser
    QAction* m_copyPasswordAction = nullptr;   // mnuCopyPass
};

} // namespace kv

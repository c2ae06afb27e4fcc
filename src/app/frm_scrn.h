#pragma once
// The main window: tools strip, edit area with its toolbar, the record list, the
// covering panel of the lock, and the two pop-up menus. Its controls are its own;
// people and tests who automate it find them by their object names ("Text1_1",
// "ListView1", "mnuHide", ...).

#include "app/environment.h"
#include "app/twips.h"
#include "records/edit_fields.h"
#include "records/record_list_model.h"
#include "records/shown_records_model.h"
#include "settings/settings_store.h"
#include "storage/open_database.h"
#include "vault/vault.h"

#include <QWidget>
#include <array>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTableView;
class QToolBar;

namespace kv {

class AddressLink;
class CheckBox;
class ClipboardClearer;
class EditField;
class EditingCommands;
class LockGate;
class MenuLabel;
class ShapeWidget;

class FrmScrn : public QWidget
{
    Q_OBJECT
public:
    explicit FrmScrn(Environment env, QWidget* parent = nullptr);
    ~FrmScrn() override;

    // Fills the list from the open database's file (after the window is shown).
    void loadDatabase();
    void QuitApplication();
    void ClearEditFields();
    void SetAddressPrefix();
    void layoutPass();

    // "Keystead Vault - <text>" in the caption, the program's one place for messages.
    void showMessage(const QString& text);

    QString dataFileBase() const { return QString::fromStdString(m_database.base()); }
    bool isLocked() const;
    RecordListModel& model() { return m_model; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildEditArea();
    void buildRecordList();
    void buildMenus();
    void buildToolbar();
    void wireTools();
    void loadStep();
    void onLockedChanged(bool locked);

    void onListPress(QMouseEvent* event);
    void onListRelease(QMouseEvent* event);
    bool onListKey(QKeyEvent* event);
    void loadSelectedRowIntoFields();
    void toggleGrid();
    void toggleHide();
    void onDatabaseBoxReleased(int index, Qt::MouseButton button);
    void openToolsMenu(const QPoint& at);
    // From the keyboard or assistive technology: under the Tools label, and at the
    // list's current row, each with its first item active.
    void openToolsMenuFromKeyboard();
    void openListMenuFromKeyboard();
    void chooseDatabaseFromKeyboard(int index);

    Environment m_env;
    SettingsStore m_settings;
    OpenDatabase m_database;
    Vault m_vault;                    // the entries and the rules for changing them
    RecordListModel m_model;          // the entries, for the list
    ShownRecordsModel m_shownRecords; // what the list shows of m_model
    bool m_itemClickPending = false;
    std::unique_ptr<EditingCommands> m_commands;
    LockGate* m_lock = nullptr;
    AddressLink* m_addressLink = nullptr;
    ClipboardClearer* m_clipboardClearer = nullptr;

    // Controls (object names in brackets).
    QFrame* m_toolsStrip = nullptr;                  // Frame2
    std::array<CheckBox*, 3> m_databaseBoxes{};      // Check1_0 .. Check1_2
    MenuLabel* m_toolsLabel = nullptr;               // Label2, opens the File menu
    QFrame* m_editArea = nullptr;                    // Frame1
    QToolBar* m_toolbar = nullptr;                   // Toolbar1
    std::array<QAction*, 4> m_commandButtons{};      // Toolbar1_1 .. Toolbar1_4: Add, Remove, Replace, Clear
    std::array<QLabel*, FieldCount> m_fieldLabels{}; // Label1_0 .. Label1_4, by FieldIndex
    std::array<EditField*, FieldCount> m_fields{};   // Text1_0 .. Text1_4, by FieldIndex
    QTableView* m_recordList = nullptr;              // ListView1
    QFrame* m_lockPanel = nullptr;                   // Frame3
    QLabel* m_lockMessage = nullptr;                 // Label3
    std::array<ShapeWidget*, 8> m_shapes{};          // Shape1_0 .. Shape1_7
    ShapeWidget* m_rightLine = nullptr;              // Line1
    ShapeWidget* m_leftLine = nullptr;               // Line2

    QMenu* m_fileMenu = nullptr;               // Tmenu, "File"
    QMenu* m_schemeMenu = nullptr;             // Tadress, "Addresses are"
    QMenu* m_copyMenu = nullptr;               // Tcopy, "Copy"
    QMenu* m_listMenu = nullptr;               // Tother, "Other"
    QAction* m_retainUserAction = nullptr;     // mnuRetainUser
    QAction* m_hideAction = nullptr;           // mnuHide
    QAction* m_suggestAction = nullptr;        // mnuSuges
    std::array<QAction*, 3> m_schemeActions{}; // mnuAddress_0 .. mnuAddress_2: HTTP, HTTPS, FTP
    QAction* m_copyAddressAction = nullptr;    // mnuCopyURL
    QAction* m_copyUserAction = nullptr;       // mnuCopyUser
    QAction* m_copyPasswordAction = nullptr;   // mnuCopyPass
    QAction* m_helpAction = nullptr;           // mnuHelp
    QAction* m_quitAction = nullptr;           // mnuQuit
    QAction* m_gridAction = nullptr;           // mnulines

    EditField* field(FieldIndex index) const { return m_fields[static_cast<std::size_t>(index)]; }
    EditFields editFields() const;
};

} // namespace kv

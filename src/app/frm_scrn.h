#pragma once
// The main window: tools strip, edit area with its toolbar, the record list, the
// covering panel of the lock, and the two pop-up menus.

#include "app/environment.h"
#include "app/twips.h"
#include "records/record_list_model.h"
#include "settings/settings_store.h"
#include "storage/open_database.h"

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
class EditField;
class EditingCommands;
class LockGate;
class ShapeWidget;

// Indexes of the edit fields.
enum EditIndex { EditAddress = 0, EditService = 1, EditUsername = 2, EditComments = 3, EditPassword = 4 };

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
    EditingCommands& commands() { return *m_commands; }
    const Environment& environment() const { return m_env; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildToolbar();
    void loadStep();
    void place(QWidget* widget, TwipRect twips);

    void onListPress(QMouseEvent* event);
    void onListRelease(QMouseEvent* event);
    void loadSelectedRowIntoFields();
    int selectedRow() const;
    void toggleGrid();
    void toggleHide();
    void onDatabaseBoxReleased(int index, Qt::MouseButton button);
    void openToolsMenu(const QPoint& at);
    void wireTools();

    Environment m_env;
    SettingsStore m_settings;
    RecordListModel m_model;
    OpenDatabase m_database;
    bool m_itemClickPending = false;
    std::unique_ptr<EditingCommands> m_commands;
    LockGate* m_lock = nullptr;
    AddressLink* m_addressLink = nullptr;

public:
    // Controls, named as the window's design names them.
    QFrame* Frame1 = nullptr;
    QFrame* Frame2 = nullptr;
    QFrame* Frame3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QTableView* ListView1 = nullptr;
    std::array<CheckBox*, 3> Check1{};
    std::array<QLabel*, 5> Label1{};
    std::array<EditField*, 5> Text1{};
    std::array<ShapeWidget*, 8> Shape1{};
    ShapeWidget* Line1 = nullptr;
    ShapeWidget* Line2 = nullptr;

    QMenu* Tmenu = nullptr;
    QMenu* Tadress = nullptr;
    QMenu* Tcopy = nullptr;
    QMenu* Tother = nullptr;
    QAction* mnuRetainUser = nullptr;
    QAction* mnuHide = nullptr;
    QAction* mnuSuges = nullptr;
    std::array<QAction*, 3> mnuAddress{};
    QAction* mnuCopyURL = nullptr;
    QAction* mnuCopyUser = nullptr;
    QAction* mnuCopyPass = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuQuit = nullptr;
    QAction* mnulines = nullptr;
    std::array<QAction*, 4> toolbarButtons{};
};

} // namespace kv

#pragma once
// The main window. It builds and places its parts (the tools strip, the edit area
// with its toolbar, the record list, the lock's covering panel and the shapes drawn
// around them), puts the File menu together, wires what the parts tell each other,
// and runs the layout pass. People and tests who automate it find its controls by
// their object names ("Text1_1", "ListView1", "mnuHide", ...; see object_names.h).

#include "app/environment.h"
#include "records/record_list_model.h"
#include "settings/settings_store.h"
#include "storage/open_database.h"
#include "vault/vault.h"

#include <QWidget>
#include <array>

class QFrame;
class QLabel;

namespace kv {

class EditArea;
class LockGate;
class RecordList;
class SealGate;
class ShapeWidget;
class ToolsStrip;

class FrmScrn : public QWidget
{
    Q_OBJECT
public:
    explicit FrmScrn(Environment env, QWidget* parent = nullptr);
    ~FrmScrn() override;

    // Fills the list from the open database's file, in place of what it showed
    // (after the window is shown, and again on every reload).
    void loadDatabase();
    void QuitApplication();
    void layoutPass();

    // "Keystead Vault - <text>" in the caption, the program's one place for messages.
    void showMessage(const QString& text);

    QString dataFileBase() const { return QString::fromStdString(m_database.base()); }
    bool isLocked() const;
    // The lock's panel covers the list: the log-in is armed, or the open database is sealed and shut.
    bool isListCovered() const;
    RecordListModel& model() { return m_model; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildShapes();
    void buildLockPanel();
    void buildFileMenu();
    void chainTabOrder();
    void loadStep();
    void onLockedChanged(bool locked);
    void onSealCoveredChanged(bool covered);
    void openDatabase(int index);
    void suggestPassword();
    void openHelp();

    Environment m_env;
    SettingsStore m_settings;
    OpenDatabase m_database;
    Vault m_vault;           // the entries and the rules for changing them
    RecordListModel m_model; // the entries, for the list

    // The parts and controls (object names in brackets).
    ToolsStrip* m_toolsStrip = nullptr; // Frame2
    EditArea* m_editArea = nullptr;     // Frame1
    RecordList* m_recordList = nullptr; // ListView1
    QFrame* m_lockPanel = nullptr;      // Frame3
    QLabel* m_lockMessage = nullptr;    // Label3
    LockGate* m_lock = nullptr;
    SealGate* m_seal = nullptr;
    // The next load is the first of a database just opened: it tells of conflict copies beside it.
    bool m_opening = true;
    std::array<ShapeWidget*, 3> m_shapes{}; // Shape1_5 .. Shape1_7, around the list
    ShapeWidget* m_rightLine = nullptr;     // Line1
    ShapeWidget* m_leftLine = nullptr;      // Line2
};

} // namespace kv

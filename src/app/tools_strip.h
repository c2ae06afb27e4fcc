#pragma once
// The tools strip ("Frame2") along the window's top: a box for each of the three
// databases, and the "Tools" label, which opens the File menu (F10 opens it too).

#include <QFrame>
#include <array>
#include <string>

class QMenu;

namespace kv {

class CheckBox;
class MenuLabel;

class ToolsStrip : public QFrame
{
    Q_OBJECT
public:
    // The File menu hangs off `window`: the strip is disabled while the window is
    // locked, and would take the menu with it.
    explicit ToolsStrip(QWidget* window);

    // Empty at first: the window puts it together from its parts' items.
    QMenu* fileMenu() const { return m_fileMenu; }
    MenuLabel* toolsLabel() const { return m_toolsLabel; }
    CheckBox* databaseBox(int index) const { return m_databaseBoxes[static_cast<std::size_t>(index)]; }

    // Checks the box of the database whose file is `base` ("db1", ...), and only that one.
    void showOpenDatabase(const std::string& base);

signals:
    // A left-button release on a box, or Enter on it: that database is to be opened.
    // Its box is the only one checked.
    void databaseChosen(int index);
    // A release of any other button: the open database is to be read again.
    void reloadAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onBoxReleased(int index, Qt::MouseButton button);
    void chooseFromKeyboard(int index);
    void openFileMenu(const QPoint& at);
    // From the keyboard or assistive technology: under the label, its first item active.
    void openFileMenuFromKeyboard();

    std::array<CheckBox*, 3> m_databaseBoxes{}; // Check1_0 .. Check1_2
    MenuLabel* m_toolsLabel = nullptr;          // Label2
    QMenu* m_fileMenu = nullptr;                // Tmenu, "File"
};

} // namespace kv

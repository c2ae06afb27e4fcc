#pragma once
// The "Suggest Password" window: shows a fresh password, pre-selected for the user to copy by hand.
// A release of a mouse button on the length label makes it longer (left), shorter (right) or new
// (any other button). The window keeps the length nowhere but in the label's text.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

// The object names the design gives the window and its controls, which tests and automation find them by.
namespace generatorNames {
inline const QString Window = QStringLiteral("frmGen");
inline const QString LengthLabel = QStringLiteral("Label1");
inline const QString Password = QStringLiteral("Text1");
inline const QString Close = QStringLiteral("Command1");
} // namespace generatorNames

class FrmGen : public QDialog
{
    Q_OBJECT

public:
    // Longest password the label offers: the length stays a 16-bit signed number.
    static constexpr int MaxLength = 32767;

    // Opens with the label at 16 and a new 16-character password, selected, in the field.
    explicit FrmGen(QWidget* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void changeLength(Qt::MouseButton button);
    void showPassword(int length);

    QLabel* m_label;
    QLineEdit* m_text;
    QPushButton* m_close;
};

// The main window's "Suggest Password": opens the generator window modally over `owner` and returns
// once it is closed.
void SuggestPassword(QWidget* owner);

} // namespace kv

#pragma once
// The edit fields' control: the caret at the end on focus, "*" for masked text,
// and a tooltip that can be kept from assistive technology.

#include <QLineEdit>
#include <QPointer>

namespace kv {

class FieldTip;

// An edit field that puts the caret after the last character, with nothing
// selected, whenever it receives the focus; masked text shows "*".
class EditField : public QLineEdit
{
    Q_OBJECT
public:
    explicit EditField(QWidget* parent = nullptr);
    ~EditField() override;

    // The tooltip is shown to the eye only: in a tip window of the field's own, which tells assistive
    // technology the field's name but never the tip's text (the Password field's tip is the password).
    void setTipForTheEyeOnly(bool on) { m_tipForTheEyeOnly = on; }

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void hideTip();

    bool m_tipForTheEyeOnly = false;
    QPointer<FieldTip> m_tip;
};

} // namespace kv

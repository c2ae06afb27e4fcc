#pragma once
// The label that opens a menu when clicked ("Tools"); accessible_interfaces.cpp
// makes it a menu button to assistive technology.

#include <QLabel>

namespace kv {

// A label that opens a menu when clicked ("Tools"). To assistive technology it is
// a menu button that can be pressed; `pressed` tells that it was.
class MenuLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void pressed();
};

} // namespace kv

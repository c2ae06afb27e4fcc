#pragma once
// The main window's five edit fields, named for what they hold. Their design
// indexes (0 to 4, as in the object names "Text1_0" ... "Text1_4") come first
// in the window's own order, not the tab order.

#include <array>

class QLineEdit;

namespace kv {

enum class FieldIndex { Address = 0, Service = 1, Username = 2, Comments = 3, Password = 4 };
inline constexpr int FieldCount = 5;

struct EditFields
{
    QLineEdit* address = nullptr;
    QLineEdit* service = nullptr;
    QLineEdit* username = nullptr;
    QLineEdit* comments = nullptr;
    QLineEdit* password = nullptr;

    // All five in design order, Address first and Password last.
    std::array<QLineEdit*, FieldCount> inDesignOrder() const
    {
        return {address, service, username, comments, password};
    }
};

} // namespace kv

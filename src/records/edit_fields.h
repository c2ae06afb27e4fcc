#pragma once
// The main window's five edit fields, named for what they hold. Their design
// indexes (0 to 4, as in the object names "Text1_0" ... "Text1_4") are the
// window's own order, not the tab order; the window's field table gives the rest.

#include <array>
#include <cstddef>

class QLineEdit;

namespace kv {

enum class FieldIndex { Address = 0, Service = 1, Username = 2, Comments = 3, Password = 4 };
inline constexpr int FieldCount = 5;

// The five fields, by their design index.
struct EditFields
{
    std::array<QLineEdit*, FieldCount> byIndex{};

    QLineEdit* operator[](FieldIndex index) const { return byIndex[static_cast<std::size_t>(index)]; }
};

} // namespace kv

#pragma once
// The program's own texts (UTF-8) as the window shows them.

#include <QString>

#include <string_view>

namespace kv {

inline QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace kv

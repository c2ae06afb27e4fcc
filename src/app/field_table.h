#pragma once
// The edit fields, one row each, in tab order: which field (its design index, which
// names it "Text1_<index>" and its label "Label1_<index>"), its caption, and where the
// label, the field and the shape framing it are drawn in the edit area.

#include "app/twips.h"
#include "records/edit_fields.h"

#include <array>

namespace kv {

struct FieldRow
{
    FieldIndex index;
    const char16_t* caption; // the label's text, and the field's name to a screen reader
    TwipRect label;
    TwipRect field;
    TwipRect shape;
};

inline constexpr std::array<FieldRow, FieldCount> FieldTable = {{
    {FieldIndex::Service, u"Service", {285, 675, 1515, 165}, {345, 900, 2205, 270}, {255, 855, 2370, 345}},
    {FieldIndex::Username, u"Username", {2835, 675, 1515, 165}, {2865, 900, 2205, 270}, {2775, 855, 2370, 345}},
    {FieldIndex::Password, u"Password", {5355, 675, 1515, 165}, {5355, 900, 1740, 270}, {5280, 855, 1890, 345}},
    {FieldIndex::Comments, u"Comments", {285, 1275, 1515, 165}, {315, 1515, 6765, 270}, {225, 1470, 6945, 345}},
    {FieldIndex::Address, u"Address", {2295, 105, 1515, 165}, {2280, 315, 4815, 270}, {2220, 285, 4950, 345}},
}};

} // namespace kv

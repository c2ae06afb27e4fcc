#pragma once
// The object names the design gives the main window's controls. People who
// automate the window, and the tests, find the controls by them: the window
// sets them from here and the tests ask for them from here.

#include "records/edit_fields.h"
#include "records/editing_commands.h"

#include <QString>

namespace kv::objectNames {

inline QString window()
{
    return QStringLiteral("frmScrn");
}
inline QString recordList()
{
    return QStringLiteral("ListView1");
}
// "Text1_0" ... "Text1_4", by the field's design index.
inline QString field(FieldIndex index)
{
    return QStringLiteral("Text1_%1").arg(static_cast<int>(index));
}
// "Check1_0" ... "Check1_2", one per database.
inline QString databaseBox(int index)
{
    return QStringLiteral("Check1_%1").arg(index);
}
// "Toolbar1_1" ... "Toolbar1_4": Add, Remove, Replace, Clear (the button and its action).
inline QString toolbarButton(ToolbarCommand command)
{
    return QStringLiteral("Toolbar1_%1").arg(static_cast<int>(command));
}

} // namespace kv::objectNames

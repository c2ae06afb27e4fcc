#pragma once
// The object names the design gives the main window, its controls and its menus.
// People who automate the window, and the tests, find the controls by them: the
// window sets them from here and the tests ask for them from here.

#include "records/edit_fields.h"
#include "records/editing_commands.h"

#include <QString>

namespace kv::objectNames {

inline const QString Window = QStringLiteral("frmScrn");

// The tools strip: the database boxes, the Tools label and the File menu it opens.
inline const QString ToolsStrip = QStringLiteral("Frame2");
inline const QString ToolsLabel = QStringLiteral("Label2");
inline const QString FileMenu = QStringLiteral("Tmenu");
inline const QString RetainUserItem = QStringLiteral("mnuRetainUser");
inline const QString HideItem = QStringLiteral("mnuHide");
inline const QString SuggestItem = QStringLiteral("mnuSuges");
inline const QString FirstSeparator = QStringLiteral("sep1");
inline const QString SchemeMenu = QStringLiteral("Tadress");
inline const QString CopyMenu = QStringLiteral("Tcopy");
inline const QString CopyAddressItem = QStringLiteral("mnuCopyURL");
inline const QString CopyUserItem = QStringLiteral("mnuCopyUser");
inline const QString CopyPasswordItem = QStringLiteral("mnuCopyPass");
inline const QString SecondSeparator = QStringLiteral("sep2");
inline const QString HelpItem = QStringLiteral("mnuHelp");
inline const QString QuitItem = QStringLiteral("mnuQuit");

// The edit area and its toolbar.
inline const QString EditArea = QStringLiteral("Frame1");
inline const QString Toolbar = QStringLiteral("Toolbar1");

// The list, and the "Other" menu it opens.
inline const QString RecordList = QStringLiteral("ListView1");
inline const QString ListMenu = QStringLiteral("Tother");
inline const QString GridItem = QStringLiteral("mnulines");

// The lock's covering panel and its message.
inline const QString LockPanel = QStringLiteral("Frame3");
inline const QString LockMessage = QStringLiteral("Label3");

// The lines left and right of the list.
inline const QString RightLine = QStringLiteral("Line1");
inline const QString LeftLine = QStringLiteral("Line2");

// "Text1_0" ... "Text1_4", by the field's design index; "Label1_<index>" its label,
// "Shape1_<index>" the frame drawn around it.
inline QString field(FieldIndex index)
{
    return QStringLiteral("Text1_%1").arg(static_cast<int>(index));
}
inline QString fieldLabel(FieldIndex index)
{
    return QStringLiteral("Label1_%1").arg(static_cast<int>(index));
}
// "Shape1_0" ... "Shape1_4" frame the fields; 5 to 7 are the window's, around the list.
inline QString shape(int index)
{
    return QStringLiteral("Shape1_%1").arg(index);
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
// "mnuAddress_0" ... "mnuAddress_2": HTTP, HTTPS, FTP.
inline QString schemeItem(int index)
{
    return QStringLiteral("mnuAddress_%1").arg(index);
}

} // namespace kv::objectNames

// The tools around the edit fields, wired to the window's menu items.

#include "app/controls.h"
#include "app/frm_scrn.h"
#include "tools/address_link.h"
#include "tools/clipboard_copy.h"
#include "tools/frm_gen.h"
#include "tools/help.h"

#include <QAction>
#include <QFrame>

namespace kv {

void FrmScrn::wireTools()
{
    const ShowMessage message = [this](const QString& text) { showMessage(text); };
    m_addressLink =
        new AddressLink(Text1[EditAddress], Frame1, this, mnuAddress, m_env.openWithDefaultHandler, message);

    connect(mnuCopyURL, &QAction::triggered, this,
            [this, message] { CopyFieldText(Text1[EditAddress]->text(), false, message); });
    connect(mnuCopyUser, &QAction::triggered, this,
            [this, message] { CopyFieldText(Text1[EditUsername]->text(), false, message); });
    connect(mnuCopyPass, &QAction::triggered, this,
            [this, message] { CopyFieldText(Text1[EditPassword]->text(), true, message); });
    connect(mnuSuges, &QAction::triggered, this, [this] { SuggestPassword(this); });

    const auto openHelp = [this] { OpenHelp(m_env.programFolder, this, m_env.openWithDefaultHandler); };
    connect(mnuHelp, &QAction::triggered, this, openHelp);
    new HelpKey(this, openHelp);
}

void FrmScrn::SetAddressPrefix()
{
    m_addressLink->SetAddressPrefix();
}

} // namespace kv

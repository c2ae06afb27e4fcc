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
    m_addressLink = new AddressLink({field(FieldIndex::Address), m_editArea, this, m_schemeActions},
                                    m_env.openWithDefaultHandler, message);

    connect(m_copyAddressAction, &QAction::triggered, this,
            [this, message] { CopyFieldText(field(FieldIndex::Address)->text(), false, message); });
    connect(m_copyUserAction, &QAction::triggered, this,
            [this, message] { CopyFieldText(field(FieldIndex::Username)->text(), false, message); });
    m_clipboardClearer = new ClipboardClearer(m_env.clipboardClearDelay, this);
    connect(m_copyPasswordAction, &QAction::triggered, this,
            [this, message] { m_clipboardClearer->copyPassword(field(FieldIndex::Password)->text(), message); });
    connect(m_suggestAction, &QAction::triggered, this, [this] { SuggestPassword(this); });

    const auto openHelp = [this] { OpenHelp(m_env.programFolder, this, m_env.openWithDefaultHandler); };
    connect(m_helpAction, &QAction::triggered, this, openHelp);
    new HelpKey(this, openHelp);
}

void FrmScrn::SetAddressPrefix()
{
    m_addressLink->SetAddressPrefix();
}

} // namespace kv

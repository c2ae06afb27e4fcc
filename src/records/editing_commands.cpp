#include "records/editing_commands.h"

#include "lock/lock_record.h"
#include "product/product.h"
#include "storage/ansi_text.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

namespace kv {

namespace {

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool holdsSeparator(const std::string& text)
{
    return text.find_first_of("|\r\n") != std::string::npos;
}

std::string textOf(const QLineEdit* field)
{
    return field->text().toStdString();
}

} // namespace

EditingCommands::EditingCommands(EditingWidgets widgets, RecordListModel& model, OpenDatabase& database,
                                 const SettingsStore& settings, EditingHooks hooks)
    : m_w(widgets), m_model(model), m_database(database), m_settings(settings), m_hooks(std::move(hooks))
{
}

void EditingCommands::run(ToolbarCommand command)
{
    switch (command) {
    case ToolbarCommand::Add:
        Add();
        break;
    case ToolbarCommand::Remove:
        Remove();
        break;
    case ToolbarCommand::Replace:
        Replace();
        break;
    case ToolbarCommand::Clear:
        Clear();
        break;
    }
}

Record EditingCommands::recordFromFields() const
{
    Record record;
    record.service = textOf(m_w.fields.service);
    record.username = textOf(m_w.fields.username);
    record.password = textOf(m_w.fields.password);
    record.comments = textOf(m_w.fields.comments);
    record.address = textOf(m_w.fields.address);
    return record;
}

std::optional<QString> EditingCommands::refusal(const Record& record)
{
    const std::string* fields[] = {&record.service,  &record.username, &record.password,
                                   &record.comments, &record.address,  &record.recorded};
    for (const std::string* field : fields) {
        if (holdsSeparator(*field))
            return QStringLiteral("Fields cannot contain | or line breaks");
    }
    for (const std::string* field : fields) {
        if (!fitsAnsi(*field))
            return QStringLiteral("Fields can hold only Western European characters");
    }
    if (!RecordLineFits(record))
        return QStringLiteral("Entry is too long to store");
    return std::nullopt;
}

std::optional<int> EditingCommands::selectedRow() const
{
    const QModelIndexList rows = m_w.list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

std::optional<int> EditingCommands::findService(const std::string& service) const
{
    return m_model.findService(service);
}

QString EditingCommands::recordedNow() const
{
    return m_hooks.clock().toString(QStringLiteral("MM-dd-yyyy HH:mm:ss"));
}

QString EditingCommands::fileFailure(const char* verb, const OpenDatabase& database)
{
    return QStringLiteral("Could not %1 %2.ksd").arg(QLatin1String(verb), fromView(database.base())) +
           fromView(reasonText(database.lastError()));
}

void EditingCommands::reportWriteFailure()
{
    m_hooks.showMessage(fileFailure("write", m_database));
}

OpenDatabase::Rewriting EditingCommands::startRewrite()
{
    // The lock covers the entries too: rows the user cannot see are not theirs to change.
    if (m_hooks.isLocked()) {
        m_hooks.showMessage(QStringLiteral("Unlock before changing entries"));
        return {};
    }
    const QString file = fromView(m_database.base()) + QStringLiteral(".ksd");
    OpenDatabase::Rewriting rewriting = m_database.startRewrite();
    switch (rewriting.verdict()) {
    case OpenDatabase::Rewrite::Allowed:
        break;
    case OpenDatabase::Rewrite::NotRead:
        m_hooks.showMessage(QStringLiteral("Not saved: %1 could not be read").arg(file));
        break;
    case OpenDatabase::Rewrite::Changed:
        m_hooks.showMessage(QStringLiteral("Not saved: %1 was changed outside the program").arg(file));
        break;
    case OpenDatabase::Rewrite::Busy:
        reportWriteFailure();
        break;
    case OpenDatabase::Rewrite::Unreadable:
        m_hooks.showMessage(fileFailure("read", m_database));
        break;
    }
    return rewriting;
}

void EditingCommands::save(OpenDatabase::Rewriting& rewriting)
{
    if (!m_database.save(rewriting, m_model.table()))
        reportWriteFailure();
}

void EditingCommands::Add()
{
    Record record = recordFromFields();
    record.recorded = recordedNow().toStdString();
    // Whoever sits at a locked window must not put a log-in of their own in place.
    if (record.service == AppTitle && m_hooks.isLocked()) {
        m_hooks.showMessage(QStringLiteral("Unlock before changing the log-in"));
        return;
    }
    if (const auto why = refusal(record)) {
        m_hooks.showMessage(*why);
        return;
    }
    const bool lockStored = record.service != AppTitle || SetLockCredentials();
    const std::string line = BuildRecordLine(record);
    m_model.append(record);
    // A lost entry weighs more than a log-in that can be added again.
    if (!m_database.append(line))
        reportWriteFailure();
    else if (!lockStored)
        m_hooks.showMessage(QStringLiteral("Could not store the log-in"));
    ClearEditFields();
}

void EditingCommands::Remove()
{
    OpenDatabase::Rewriting rewriting = startRewrite();
    if (!rewriting.allowed())
        return;
    std::optional<int> row = selectedRow();
    if (!row)
        return;
    const std::string service = textOf(m_w.fields.service);
    if (service == AppTitle) {
        // No record reads as empty credentials, as the fields may be.
        const Credentials lock = ReadLockRecord(m_settings).value_or(Credentials{});
        if (textOf(m_w.fields.username) == lock.user && m_loadedPassword == lock.password) {
            // Still armed: the entry stays in the list as the reminder of its credentials.
            if (!ClearLockCredentials()) {
                m_hooks.showMessage(QStringLiteral("Could not store the log-in"));
                return;
            }
            row.reset();
        }
    }
    if (!row) {
        // The lock was just disarmed: its own entry goes, wherever the selection is.
        row = findService(service);
        if (!row) {
            ClearEditFields();
            return;
        }
    }
    m_model.removeAt(*row);
    // The view would move the selection to a neighbour, which the next Remove or
    // Replace would then change though the user never chose it.
    m_w.list->selectionModel()->clear();
    save(rewriting);
    ClearEditFields();
}

void EditingCommands::Replace()
{
    OpenDatabase::Rewriting rewriting = startRewrite();
    if (!rewriting.allowed())
        return;
    Record details = recordFromFields();
    details.recorded = recordedNow().toStdString();
    if (!findService(details.service)) {
        m_hooks.showMessage(m_w.fields.service->text() + QStringLiteral(" - Item not found"));
        return;
    }
    const std::optional<int> row = selectedRow();
    if (!row)
        return;
    // The selected row is overwritten, which need not be the one found; its service stays.
    Record stored = details;
    stored.service = m_model.at(*row).service;
    if (const auto why = refusal(stored)) {
        m_hooks.showMessage(*why);
        return;
    }
    m_model.replaceDetails(*row, stored);
    save(rewriting);
    ClearEditFields();
}

void EditingCommands::Clear()
{
    m_hooks.setCaption(fromView(AppTitle));
    ClearEditFields();
}

void EditingCommands::ClearEditFields()
{
    const QString kept = m_w.fields.username->text();
    for (QLineEdit* field : m_w.fields.inDesignOrder())
        field->setText(QString());
    if (m_w.retainUser->isChecked())
        m_w.fields.username->setText(kept);
    m_hooks.setAddressPrefix();
}

void EditingCommands::LoadRecord(const Record& record)
{
    m_w.fields.address->setText(QString::fromStdString(record.address));
    m_w.fields.service->setText(QString::fromStdString(record.service));
    m_w.fields.username->setText(QString::fromStdString(record.username));
    m_w.fields.password->setText(QString::fromStdString(record.password));
    m_w.fields.comments->setText(QString::fromStdString(record.comments));
    // Resting the pointer on the masked field shows the loaded password.
    m_w.fields.password->setToolTip(QString::fromStdString(record.password));
    m_loadedPassword = record.password;
    QString caption = fromView(WindowTitle);
    if (!record.recorded.empty())
        caption += QStringLiteral(" - Modified: ") + QString::fromStdString(record.recorded);
    m_hooks.setCaption(caption);
}

bool EditingCommands::SetLockCredentials()
{
    return WriteLockRecord(m_settings, {textOf(m_w.fields.username), textOf(m_w.fields.password)});
}

bool EditingCommands::ClearLockCredentials()
{
    return WriteLockRecord(m_settings, {});
}

} // namespace kv

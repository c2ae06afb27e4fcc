#include "records/editing_commands.h"

#include "lock/lock_record.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

namespace kv {

namespace {

enum Field { Address = 0, Service = 1, Username = 2, Comments = 3, Password = 4 };

QString appTitle()
{
    return QString::fromLatin1(AppTitle.data(), static_cast<qsizetype>(AppTitle.size()));
}

bool holdsSeparator(const std::string& text)
{
    return text.find_first_of("|\r\n") != std::string::npos;
}

} // namespace

EditingCommands::EditingCommands(EditingWidgets widgets, RecordListModel& model, OpenDatabase& database,
                                 const SettingsStore& settings, EditingHooks hooks)
    : m_w(widgets), m_model(model), m_database(database), m_settings(settings), m_hooks(std::move(hooks))
{
}

void EditingCommands::run(int button)
{
    switch (button) {
    case 1:
        Add();
        break;
    case 2:
        Remove();
        break;
    case 3:
        Replace();
        break;
    case 4:
        Clear();
        break;
    default:
        break;
    }
}

Record EditingCommands::recordFromFields() const
{
    Record record;
    record.service = m_w.fields[Service]->text().toStdString();
    record.username = m_w.fields[Username]->text().toStdString();
    record.password = m_w.fields[Password]->text().toStdString();
    record.comments = m_w.fields[Comments]->text().toStdString();
    record.address = m_w.fields[Address]->text().toStdString();
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
    const auto records = m_model.records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].service == service)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

QString EditingCommands::recordedNow() const
{
    return m_hooks.clock().toString(QStringLiteral("MM-dd-yyyy HH:mm:ss"));
}

void EditingCommands::showMessage(const QString& text)
{
    m_hooks.setCaption(appTitle() + QStringLiteral(" - ") + text);
}

void EditingCommands::reportWriteFailure()
{
    showMessage(QStringLiteral("Could not write %1.ksd").arg(QString::fromStdString(m_database.base())));
}

bool EditingCommands::mayRewrite()
{
    const QString file = QString::fromStdString(m_database.base()) + QStringLiteral(".ksd");
    switch (m_database.checkRewrite()) {
    case OpenDatabase::Rewrite::Allowed:
        return true;
    case OpenDatabase::Rewrite::NotRead:
        showMessage(QStringLiteral("Not saved: %1 could not be read").arg(file));
        return false;
    case OpenDatabase::Rewrite::Changed:
        showMessage(QStringLiteral("Not saved: %1 was changed outside the program").arg(file));
        return false;
    }
    return false;
}

void EditingCommands::save()
{
    if (!m_database.save(m_model.records()))
        reportWriteFailure();
}

void EditingCommands::Add()
{
    Record record = recordFromFields();
    record.recorded = recordedNow().toStdString();
    // Whoever sits at a locked window must not put a log-in of their own in place.
    if (record.service == AppTitle && m_hooks.isLocked()) {
        showMessage(QStringLiteral("Unlock before changing the log-in"));
        return;
    }
    if (const auto why = refusal(record)) {
        showMessage(*why);
        return;
    }
    const bool lockStored = record.service != AppTitle || SetLockCredentials();
    const std::string line = BuildRecordLine(record);
    m_model.append(record);
    // A lost entry weighs more than a log-in that can be added again.
    if (!m_database.append(line))
        reportWriteFailure();
    else if (!lockStored)
        showMessage(QStringLiteral("Could not store the log-in"));
    ClearEditFields();
}

void EditingCommands::Remove()
{
    if (!mayRewrite())
        return;
    std::optional<int> row = selectedRow();
    if (!row)
        return;
    const std::string service = m_w.fields[Service]->text().toStdString();
    if (service == AppTitle) {
        CredentialSlots lock;
        LockRecordIO(m_settings, lock, LockRead);
        if (m_w.fields[Username]->text().toStdString() == lock[1] &&
            m_w.fields[Password]->toolTip().toStdString() == lock[2]) {
            // Still armed: the entry stays in the list as the reminder of its credentials.
            if (!ClearLockCredentials()) {
                showMessage(QStringLiteral("Could not store the log-in"));
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
    save();
    ClearEditFields();
}

void EditingCommands::Replace()
{
    if (!mayRewrite())
        return;
    Record details = recordFromFields();
    details.recorded = recordedNow().toStdString();
    if (!findService(details.service)) {
        m_hooks.setCaption(appTitle() + QStringLiteral(" - ") + m_w.fields[Service]->text() +
                           QStringLiteral(" - Item not found"));
        return;
    }
    const std::optional<int> row = selectedRow();
    if (!row)
        return;
    // The selected row is overwritten, which need not be the one found; its service stays.
    Record stored = details;
    stored.service = m_model.at(*row).service;
    if (const auto why = refusal(stored)) {
        showMessage(*why);
        return;
    }
    m_model.replaceDetails(*row, stored);
    save();
    ClearEditFields();
}

void EditingCommands::Clear()
{
    m_hooks.setCaption(appTitle());
    ClearEditFields();
}

void EditingCommands::ClearEditFields()
{
    const QString kept = m_w.fields[Username]->text();
    for (QLineEdit* field : m_w.fields)
        field->setText(QString());
    if (m_w.retainUser->isChecked())
        m_w.fields[Username]->setText(kept);
    m_hooks.setAddressPrefix();
}

bool EditingCommands::SetLockCredentials()
{
    CredentialSlots credentials;
    credentials[1] = m_w.fields[Username]->text().toStdString();
    credentials[2] = m_w.fields[Password]->text().toStdString();
    return LockRecordIO(m_settings, credentials, LockWrite);
}

bool EditingCommands::ClearLockCredentials()
{
    CredentialSlots credentials;
    return LockRecordIO(m_settings, credentials, LockWrite);
}

} // namespace kv

#include "records/editing_commands.h"

#include "product/product.h"
#include "records/view_text.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

namespace kv {

namespace {

std::string textOf(const QLineEdit* field)
{
    return field->text().toStdString();
}

} // namespace

EditingCommands::EditingCommands(EditingWidgets widgets, Vault& vault, std::function<QDateTime()> clock,
                                 QObject* parent)
    : QObject(parent), m_w(widgets), m_vault(vault), m_clock(std::move(clock))
{
}

Record EditingCommands::recordFromFields() const
{
    Record record;
    record.service = textOf(field(FieldIndex::Service));
    record.username = textOf(field(FieldIndex::Username));
    record.password = textOf(field(FieldIndex::Password));
    record.comments = textOf(field(FieldIndex::Comments));
    record.address = textOf(field(FieldIndex::Address));
    return record;
}

std::optional<int> EditingCommands::selectedRow() const
{
    const QModelIndexList rows = m_w.list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

QString EditingCommands::recordedNow() const
{
    return m_clock().toString(QStringLiteral("MM-dd-yyyy HH:mm:ss"));
}

void EditingCommands::finish(const Outcome& outcome)
{
    if (outcome.problem != Outcome::Problem::None)
        emit messageShown(fromView(describe(outcome, m_vault.database().base() + ".ksd")));
    if (outcome.done)
        ClearEditFields();
}

void EditingCommands::Add()
{
    Record record = recordFromFields();
    record.recorded = recordedNow().toStdString();
    finish(m_vault.add(record, m_locked));
}

void EditingCommands::Remove()
{
    const Credentials loaded{textOf(field(FieldIndex::Username)), m_loadedPassword};
    const int before = m_vault.entries().size();
    const Outcome outcome = m_vault.remove(selectedRow(), textOf(field(FieldIndex::Service)), loaded, m_locked);
    // The view would move the selection to a neighbour, which the next Remove or
    // Replace would then change though the user never chose it.
    if (m_vault.entries().size() < before)
        m_w.list->selectionModel()->clear();
    finish(outcome);
}

void EditingCommands::Replace()
{
    Record details = recordFromFields();
    details.recorded = recordedNow().toStdString();
    finish(m_vault.replace(selectedRow(), details, m_locked));
}

void EditingCommands::Clear()
{
    emit captionChanged(fromView(AppTitle));
    ClearEditFields();
}

void EditingCommands::ClearEditFields()
{
    const QString kept = field(FieldIndex::Username)->text();
    for (QLineEdit* edit : m_w.fields.byIndex)
        edit->setText(QString());
    if (m_w.retainUser->isChecked())
        field(FieldIndex::Username)->setText(kept);
    emit fieldsEmptied();
}

void EditingCommands::LoadRecord(const Record& record)
{
    field(FieldIndex::Address)->setText(QString::fromStdString(record.address));
    field(FieldIndex::Service)->setText(QString::fromStdString(record.service));
    field(FieldIndex::Username)->setText(QString::fromStdString(record.username));
    field(FieldIndex::Password)->setText(QString::fromStdString(record.password));
    field(FieldIndex::Comments)->setText(QString::fromStdString(record.comments));
    // Resting the pointer on the masked field shows the loaded password.
    field(FieldIndex::Password)->setToolTip(QString::fromStdString(record.password));
    m_loadedPassword = record.password;
    QString caption = fromView(WindowTitle);
    if (!record.recorded.empty())
        caption += QStringLiteral(" - Modified: ") + QString::fromStdString(record.recorded);
    emit captionChanged(caption);
}

} // namespace kv

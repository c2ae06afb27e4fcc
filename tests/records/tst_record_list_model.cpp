// The record list model under Qt's own model checker, through every change the
// window makes to the entries it shows: a broken signal or index there shows up
// as a wrong or stale row in the view.

#include "records/record_list_model.h"
#include "settings/reg_file_registry.h"
#include "settings/settings_store.h"
#include "storage/data_file.h"
#include "storage/open_database.h"
#include "vault/vault.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QtTest>

namespace {

kv::Record row(const char* service, const char* password)
{
    return kv::Record{service, "user", password, "", "", ""};
}

// The services, top to bottom, as the model gives them.
QStringList services(const kv::RecordListModel& model)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.index(r, kv::ColService).data().toString();
    return texts;
}

} // namespace

class TestRecordListModel : public QObject
{
    Q_OBJECT

private slots:
    void keepsQtsModelRules()
    {
        kv::EntryList entries;
        kv::RecordListModel model(entries);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        kv::RecordTable loaded;
        for (const auto& record : {row("b", "pw"), row("a", "longer"), row("c", "")})
            loaded.append(record);
        entries.appendAll(std::move(loaded));
        entries.append(row("d", "x"));
        model.sortOnHeaderClick(kv::ColService);
        entries.replaceDetails(1, row("ignored", "new"));
        entries.removeAt(0);
        model.sortOnHeaderClick(kv::ColPassword);
        kv::RecordTable reloaded = entries.table();
        reloaded.append(row("e", "y"));
        entries.assign(std::move(reloaded)); // a reload into a sorted list takes its place in the order
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.index(0, kv::ColService).data().toString(), QStringLiteral("e"));
        entries.clear();
        QCOMPARE(model.rowCount(), 0);
    }

    // The window reloads through the vault alone; the model puts what it reads
    // in the order the user chose.
    void aReloadThroughTheVaultKeepsTheSortOrder()
    {
        QTemporaryDir dir;
        const std::filesystem::path folder = dir.path().toStdString();
        const auto writeDatabase = [&](std::initializer_list<kv::Record> records) {
            kv::RecordTable rows;
            for (const kv::Record& record : records)
                rows.append(record);
            // A full save needs an existing file to back up first.
            kv::realFileOps().writeNew(kv::dataFilePath(folder, "db1"), "");
            QVERIFY(kv::SaveDatabase(folder, "db1", rows));
        };
        kv::RegFileRegistry registry(folder / "settings.reg");
        const kv::SettingsStore settings(registry);
        kv::OpenDatabase database(folder);
        database.choose("db1");
        kv::Vault vault(database, settings);
        kv::RecordListModel model(vault.entries());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        writeDatabase({row("b", "pw"), row("c", "x"), row("a", "longer")});
        QVERIFY(vault.load());
        QCOMPARE(services(model), (QStringList{"b", "c", "a"}));
        model.sortOnHeaderClick(kv::ColService); // descending
        QCOMPARE(services(model), (QStringList{"c", "b", "a"}));

        // Another program wrote the file meanwhile: the reload shows its entries, sorted.
        writeDatabase({row("b", "pw"), row("d", "y"), row("c", "x"), row("a", "longer")});
        QVERIFY(vault.load());
        QCOMPARE(services(model), (QStringList{"d", "c", "b", "a"}));
        QCOMPARE(vault.entries().at(0).service, std::string("d"));
        QCOMPARE(model.sortColumn(), int(kv::ColService));
        QCOMPARE(model.sortOrder(), Qt::DescendingOrder);
    }
};

QTEST_MAIN(TestRecordListModel)
#include "tst_record_list_model.moc"

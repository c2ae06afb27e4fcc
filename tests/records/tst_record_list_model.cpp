// The record list model under Qt's own model checker, through every change the
// window makes to it: a broken signal or index there shows up as a wrong or
// stale row in the view.

#include "records/record_list_model.h"

#include <QAbstractItemModelTester>
#include <QtTest>

class TestRecordListModel : public QObject
{
    Q_OBJECT

private slots:
    void keepsQtsModelRules()
    {
        kv::RecordListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto row = [](const char* service, const char* password) {
            return kv::Record{service, "user", password, "", "", ""};
        };
        kv::RecordTable loaded;
        for (const auto& record : {row("b", "pw"), row("a", "longer"), row("c", "")})
            loaded.append(record);
        model.appendAll(std::move(loaded));
        model.append(row("d", "x"));
        model.sortOnHeaderClick(kv::ColService);
        model.replaceDetails(1, row("ignored", "new"));
        model.removeAt(0);
        model.sortOnHeaderClick(kv::ColPassword);
        kv::RecordTable reloaded;
        reloaded.append(row("e", "y"));
        model.appendAll(std::move(reloaded)); // a reload into a sorted list takes its place in the order
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.index(0, kv::ColService).data().toString(), QStringLiteral("e"));
        model.clear();
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_MAIN(TestRecordListModel)
#include "tst_record_list_model.moc"

// Every file operation of a command fails in turn, through the fault double: the
// files never lose what they held, and a change that did not reach them is said
// in the caption (a preference other than the log-in fails silently).

#include "app/window_fixture.h"
#include "faulty_file_ops.h"
#include "gui_test_support.h"
#include "lock/lock_record.h"
#include "product/product.h"
#include "storage/line_cipher.h"

#include <QtTest>

#include <functional>
#include <optional>

using kv::test::FaultyFileOps;
using kvtest::record;

namespace {

const char* const Now = "07-04-2026 18:30:05";

struct Scenario
{
    std::vector<kv::Record> dataBefore;
    std::vector<kv::Record> dataAfter;
    std::string lockBefore; // the stored record's text, "" for none
    std::optional<kv::Credentials> lockAfter;
    std::function<void(kv::FrmScrn*)> prepare; // before the faults are armed
    std::function<void(kv::FrmScrn*)> act;
    bool silent = false; // a preference: its failure is not reported
};

Scenario scenario(const QString& name)
{
    Scenario s;
    const auto typeAndPress = [](kvtest::Fields fields, kv::ToolbarCommand button) {
        return [fields, button](kv::FrmScrn* w) {
            kvtest::type(w, fields);
            kvtest::press(w, button);
        };
    };
    if (name == "add") {
        s.dataBefore = {record("a"), record("b")};
        s.dataAfter = {record("a"), record("b"), record("c", "u", "p", "", "", Now)};
        s.act = typeAndPress({"", "c", "u", "", "p"}, kv::ToolbarCommand::Add);
    } else if (name == "remove") {
        s.dataBefore = {record("a"), record("b"), record("c")};
        s.dataAfter = {record("a"), record("c")};
        s.prepare = [](kv::FrmScrn* w) { kvtest::selectRow(w, 1); };
        s.act = [](kv::FrmScrn* w) { kvtest::press(w, kv::ToolbarCommand::Remove); };
    } else if (name == "replace") {
        s.dataBefore = {record("a", "u", "p"), record("b")};
        s.dataAfter = {record("a", "x", "y", "", "", Now), record("b")};
        s.prepare = [](kv::FrmScrn* w) { kvtest::selectRow(w, 0); };
        s.act = typeAndPress({"", "a", "x", "", "y"}, kv::ToolbarCommand::Replace);
    } else if (name == "arm the lock") {
        s.dataBefore = {record("a")};
        s.dataAfter = {record("a"), record("Keystead Vault", "u", "p", "", "", Now)};
        s.lockAfter = kv::Credentials{"u", "p"};
        s.act = typeAndPress({"", "Keystead Vault", "u", "", "p"}, kv::ToolbarCommand::Add);
    } else if (name == "disarm the lock") {
        s.dataBefore = {record("Keystead Vault", "u", "p"), record("a")};
        s.dataAfter = {record("a")};
        s.lockBefore = "u|p|";
        s.lockAfter = kv::Credentials{};
        s.prepare = [](kv::FrmScrn* w) {
            kvtest::type(w, {"", "", "u", "", "p"}); // unlocks
            kvtest::clickRow(w, 0);
        };
        s.act = [](kv::FrmScrn* w) { kvtest::press(w, kv::ToolbarCommand::Remove); };
    } else if (name == "show grid") {
        s.dataBefore = s.dataAfter = {record("a")};
        s.act = [](kv::FrmScrn* w) { kvtest::action(w, kv::objectNames::GridItem)->trigger(); };
        s.silent = true;
    }
    return s;
}

bool reportsFailure(const QString& caption)
{
    return caption.startsWith(QStringLiteral("Keystead Vault - ")) &&
           (caption.contains(QStringLiteral("Could not")) || caption.contains(QStringLiteral("Not saved")));
}

} // namespace

class TestFaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void everyFailingCallLosesNothingAndIsReported_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<bool>("settings"); // faults in the settings file's writes, else in the data files
        for (const char* name : {"add", "remove", "replace", "arm the lock", "disarm the lock"})
            QTest::addRow("%s, data file", name) << name << false;
        for (const char* name : {"arm the lock", "disarm the lock", "show grid"})
            QTest::addRow("%s, settings file", name) << name << true;
    }
    void everyFailingCallLosesNothingAndIsReported()
    {
        QFETCH(QString, scenario);
        QFETCH(bool, settings);
        const Scenario s = ::scenario(scenario);
        // A first run fails nothing and counts the calls; each later run fails one of them.
        int calls = 0;
        for (int failing = -1; failing < calls; ++failing) {
            kvtest::WindowFixture fx;
            fx.writeDatabase(s.dataBefore);
            if (!s.lockBefore.empty())
                fx.settings().save(kv::LockSetting, kv::EncodeLine(s.lockBefore, kv::AppTitle));
            const std::optional<kv::Credentials> lockBefore = kv::ReadLockRecord(fx.settings());
            const std::string gridBefore = fx.settings().get(kv::GridSetting);
            FaultyFileOps dataOps = FaultyFileOps::failingCall(settings ? -1 : failing);
            FaultyFileOps settingsOps = FaultyFileOps::failingCall(settings ? failing : -1, true);
            fx.fileOps = &dataOps;
            fx.registry = std::make_unique<kv::RegFileRegistry>(fx.settingsFile(), settingsOps);
            auto w = fx.start();
            if (s.prepare)
                s.prepare(w.get());
            const QString captionBefore = w->windowTitle();
            dataOps.arm();
            settingsOps.arm();
            s.act(w.get());
            if (failing < 0) {
                calls = settings ? settingsOps.calls() : dataOps.calls();
                QVERIFY2(calls > 0, "the command touched no file");
            }
            const QString where = QStringLiteral("call %1 of %2 failing").arg(failing + 1).arg(calls);

            const std::vector<kv::Record> data = fx.readDatabase();
            QVERIFY2(data == s.dataBefore || data == s.dataAfter, qPrintable(where));
            const std::optional<kv::Credentials> lock = kv::ReadLockRecord(fx.settings());
            const std::optional<kv::Credentials> lockAfter = s.lockAfter ? s.lockAfter : lockBefore;
            QVERIFY2(lock == lockBefore || lock == lockAfter, qPrintable(where));
            const bool done = data == s.dataAfter && lock == lockAfter;
            if (s.silent) {
                const std::string grid = fx.settings().get(kv::GridSetting);
                QVERIFY2(grid == gridBefore || grid == "True", qPrintable(where));
                QCOMPARE(w->windowTitle(), captionBefore);
            } else {
                QVERIFY2(done != reportsFailure(w->windowTitle()), qPrintable(where + " - " + w->windowTitle()));
            }
        }
    }
};

QTEST_MAIN(TestFaultInjection)
#include "tst_fault_injection.moc"

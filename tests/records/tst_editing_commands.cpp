// The toolbar commands through the real window, reading the data file back after
// each one.

#include "app/window_fixture.h"
#include "faulty_file_ops.h"
#include "gui_test_support.h"
#include "product/product.h"
#include "storage/line_cipher.h"

#include <QAction>

using kvtest::Fields;
using kvtest::record;

namespace {

const char* const Now = "07-04-2026 18:30:05";

std::vector<std::string> decodedLines(const std::string& file)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find("\r\n", start);
        if (end == std::string::npos)
            end = file.size();
        lines.push_back(kv::DecodeLine(file.substr(start, end - start), kv::AppTitle));
        start = end + 2;
    }
    return lines;
}

QStringList fieldTexts(kv::FrmScrn* w)
{
    QStringList texts;
    for (int i = 0; i < kv::FieldCount; ++i)
        texts << kvtest::field(w, kv::FieldIndex(i))->text();
    return texts;
}

} // namespace

class TestEditing : public QObject
{
    Q_OBJECT

private slots:
    void addOfEmptyFieldsAppendsOneLine()
    {
        kvtest::WindowFixture fx;
        auto w = fx.start();
        kvtest::press(w.get(), kv::ToolbarCommand::Add);
        QCOMPARE(w->model().count(), 1);
        QCOMPARE(w->model().at(0), record("", "", "", "", "", Now));
        QCOMPARE(decodedLines(fx.readFile(fx.dataFile())), std::vector<std::string>{"|||||" + std::string(Now) + "|"});
        // Cleared for the next entry: the address holds the scheme prefix.
        QCOMPARE(fieldTexts(w.get()), (QStringList{"http://", "", "", "", ""}));
    }

    void roundTripThroughTheWindow()
    {
        kvtest::WindowFixture fx;
        {
            auto w = fx.start();
            kvtest::type(w.get(), {"https://a.example", "alpha", "ann", "first", "pa"});
            kvtest::press(w.get(), kv::ToolbarCommand::Add);
            kvtest::type(w.get(), {"", "beta", "bob", "", "pb"});
            kvtest::press(w.get(), kv::ToolbarCommand::Add);
            kvtest::type(w.get(), {"ftp://c.example", "gamma", "cy", "third", "pc"});
            kvtest::press(w.get(), kv::ToolbarCommand::Add);
            QCOMPARE(w->model().count(), 3);

            kvtest::clickRow(w.get(), 1);
            kvtest::field(w.get(), kv::FieldIndex::Password)->clear();
            QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Password), QStringLiteral("longer-pw"));
            fx.now = fx.now.addSecs(60);
            kvtest::press(w.get(), kv::ToolbarCommand::Replace);
            kvtest::clickRow(w.get(), 0);
            kvtest::press(w.get(), kv::ToolbarCommand::Remove);
            QVERIFY(!std::filesystem::exists(fx.folder() / "db1.bak"));
            kvtest::action(w.get(), kv::objectNames::QuitItem)->trigger();
        }
        const std::vector<kv::Record> expected = {record("beta", "bob", "longer-pw", "", "", "07-04-2026 18:31:05"),
                                                  record("gamma", "cy", "pc", "third", "ftp://c.example", Now)};
        QCOMPARE(fx.readDatabase(), expected);
        auto w = fx.start();
        std::vector<kv::Record> shown;
        for (int row = 0; row < w->model().count(); ++row)
            shown.push_back(w->model().at(row));
        QCOMPARE(shown, expected);
        QCOMPARE(w->model().index(0, kv::ColPassword).data().toString(), QStringLiteral("*********"));
    }

    void replaceFindsByServiceButWritesTheSelectedRow()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "u1", "p1"), record("b", "u2", "p2"), record("a", "u3", "p3")});
        auto w = fx.start();
        // Fields name "a", the selection is on "b": "b" gets the details, both names stay.
        kvtest::selectRow(w.get(), 1);
        kvtest::type(w.get(), {"", "a", "new", "", "np"});
        kvtest::press(w.get(), kv::ToolbarCommand::Replace);
        const std::vector<kv::Record> rows = fx.readDatabase();
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[0], record("a", "u1", "p1"));
        QCOMPARE(rows[1], record("b", "new", "np", "", "", Now));
        QCOMPARE(rows[2], record("a", "u3", "p3"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault Plus"));
    }

    void replaceOfAnUnknownServiceChangesNothing()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "u1", "p1")});
        const std::string before = fx.readFile(fx.dataFile());
        auto w = fx.start();
        kvtest::clickRow(w.get(), 0);
        kvtest::type(w.get(), {"x.example", "nosuch", "u", "c", "p"});
        kvtest::press(w.get(), kv::ToolbarCommand::Replace);
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - nosuch - Item not found"));
        QCOMPARE(fieldTexts(w.get()), (QStringList{"x.example", "nosuch", "u", "c", "p"}));
        QCOMPARE(fx.readFile(fx.dataFile()), before);
        QCOMPARE(w->model().at(0), record("a", "u1", "p1"));
    }

    void replaceAndRemoveNeedASelectedRow()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "u1", "p1")});
        const std::string before = fx.readFile(fx.dataFile());
        auto w = fx.start();
        kvtest::type(w.get(), {"", "a", "u", "", "p"});
        kvtest::press(w.get(), kv::ToolbarCommand::Replace);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        QCOMPARE(w->model().count(), 1);
        QCOMPARE(fx.readFile(fx.dataFile()), before);
    }

    void removeTakesTheSelectedRowWhateverTheFieldsShow()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a"), record("b"), record("c")});
        auto w = fx.start();
        kvtest::clickRow(w.get(), 0);
        kvtest::selectRow(w.get(), 2);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        QCOMPARE(fx.readDatabase(), (std::vector<kv::Record>{record("a"), record("b")}));
        QCOMPARE(w->model().count(), 2);
    }

    void removeLeavesNoRowSelected()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a"), record("b"), record("c")});
        auto w = fx.start();
        kvtest::clickRow(w.get(), 0);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        // A second Remove must not take the neighbour the user never chose.
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        QCOMPARE(fx.readDatabase(), (std::vector<kv::Record>{record("b"), record("c")}));
    }

    void removingTheLastRowLeavesAnEmptyFile()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("only")});
        auto w = fx.start();
        kvtest::selectRow(w.get(), 0);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        QCOMPARE(fx.readFile(fx.dataFile()), std::string());
        QVERIFY(!std::filesystem::exists(fx.folder() / "db1.bak"));
    }

    void clearingKeepsTheUsernameOnlyWhenRetained_data()
    {
        QTest::addColumn<bool>("retain");
        QTest::addColumn<int>("scheme");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("retained, HTTP") << true << 0 << QStringList{"http://", "", "me", "", ""};
        QTest::newRow("not retained, FTP") << false << 2 << QStringList{"ftp://", "", "", "", ""};
    }
    void clearingKeepsTheUsernameOnlyWhenRetained()
    {
        QFETCH(bool, retain);
        QFETCH(int, scheme);
        QFETCH(QStringList, expected);
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "x")});
        auto w = fx.start();
        if (!retain)
            kvtest::action(w.get(), kv::objectNames::RetainUserItem)->trigger();
        kvtest::named<QAction>(w.get(), QStringLiteral("mnuAddress_%1").arg(scheme))->trigger();
        for (const kv::ToolbarCommand button : {kv::ToolbarCommand::Add, kv::ToolbarCommand::Clear,
                                                kv::ToolbarCommand::Replace, kv::ToolbarCommand::Remove}) {
            kvtest::selectRow(w.get(), 0);
            kvtest::type(w.get(), {"site.example", "a", "me", "c", "p"});
            kvtest::press(w.get(), button);
            QCOMPARE(fieldTexts(w.get()), expected);
        }
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault"));
    }

    void clearTouchesNeitherListNorFile()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a")});
        const std::string before = fx.readFile(fx.dataFile());
        auto w = fx.start();
        kvtest::clickRow(w.get(), 0);
        kvtest::press(w.get(), kv::ToolbarCommand::Clear);
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault"));
        QCOMPARE(w->model().count(), 1);
        QCOMPARE(fx.readFile(fx.dataFile()), before);
    }

    void fieldsTheFileCannotHoldAreRefused_data()
    {
        QTest::addColumn<kv::ToolbarCommand>("button");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString bar = QStringLiteral("Fields cannot contain | or line breaks");
        const QString western = QStringLiteral("Fields can hold only Western European characters");
        const QString tooLong = QStringLiteral("Entry is too long to store");
        QTest::newRow("add, bar in password") << kv::ToolbarCommand::Add << 4 << "pa|ss" << bar;
        QTest::newRow("add, bar in service") << kv::ToolbarCommand::Add << 1 << "a|b" << bar;
        QTest::newRow("add, line break") << kv::ToolbarCommand::Add << 3 << "two\nlines" << bar;
        QTest::newRow("add, carriage return") << kv::ToolbarCommand::Add << 0 << "x\ry" << bar;
        QTest::newRow("add, outside the code page")
            << kv::ToolbarCommand::Add << 4 << QString::fromUtf8("\xe4\xb8\xad") << western;
        QTest::newRow("add, too long") << kv::ToolbarCommand::Add << 3 << QString(16400, QLatin1Char('c')) << tooLong;
        QTest::newRow("add, 20,000 characters")
            << kv::ToolbarCommand::Add << 4 << QString(20000, QLatin1Char('p')) << tooLong;
        QTest::newRow("replace, bar") << kv::ToolbarCommand::Replace << 2 << "u|v" << bar;
        QTest::newRow("replace, outside the code page")
            << kv::ToolbarCommand::Replace << 4 << QString::fromUtf8("\xf0\x9f\x94\x91") << western;
        QTest::newRow("replace, too long")
            << kv::ToolbarCommand::Replace << 0 << QString(16400, QLatin1Char('a')) << tooLong;
    }
    void fieldsTheFileCannotHoldAreRefused()
    {
        QFETCH(kv::ToolbarCommand, button);
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "u", "p")});
        const std::string before = fx.readFile(fx.dataFile());
        auto w = fx.start();
        kvtest::selectRow(w.get(), 0);
        kvtest::type(w.get(), {"addr", "a", "u", "c", "p"});
        kvtest::field(w.get(), kv::FieldIndex(field))->setText(text);
        const QStringList typed = fieldTexts(w.get());
        kvtest::press(w.get(), button);
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - ") + message);
        QCOMPARE(fieldTexts(w.get()), typed);
        QCOMPARE(w->model().count(), 1);
        QCOMPARE(w->model().at(0), record("a", "u", "p"));
        QCOMPARE(fx.readFile(fx.dataFile()), before);
    }

    void characterOfTheCodePageIsStoredExactly()
    {
        kvtest::WindowFixture fx;
        auto w = fx.start();
        const QString password = QString::fromUtf8("caf\xc3\xa9\xe2\x82\xac");
        kvtest::type(w.get(), {"", "s", "u", "", password});
        kvtest::press(w.get(), kv::ToolbarCommand::Add);
        QCOMPARE(QString::fromStdString(fx.readDatabase().at(0).password), password);
    }

    void failedWritesAreReportedAndTheListKeepsTheChange()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a"), record("b")});
        auto w = fx.start();
        // Deleted from outside: Remove and Replace cannot back it up, so they write nothing.
        std::filesystem::remove(fx.dataFile());
        kvtest::selectRow(w.get(), 0);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Could not write db1.ksd"));
        QCOMPARE(w->model().count(), 1);
        QVERIFY(!std::filesystem::exists(fx.dataFile()));

        // Something other than a file stands where the data file goes.
        std::filesystem::create_directory(fx.dataFile());
        w->setWindowTitle(QString());
        kvtest::type(w.get(), {"", "c", "u", "", "p"});
        kvtest::press(w.get(), kv::ToolbarCommand::Add);
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Could not write db1.ksd"));
        QCOMPARE(w->model().count(), 2);
        QCOMPARE(w->model().at(1).service, std::string("c"));
    }

    // Mended fault: a failed write said nothing of why, so the user could not tell a full disk
    // from a file another program held.
    void failuresSayWhy_data()
    {
        using Op = kv::test::FaultyFileOps::Op;
        QTest::addColumn<int>("failing"); // an Op; None: another instance holds the write lock
        QTest::addColumn<int>("reason");
        QTest::addColumn<std::optional<kv::ToolbarCommand>>("button"); // none: the load at start
        QTest::addColumn<QString>("caption");
        QTest::newRow("disk full, Add") << int(Op::Append) << int(kv::FileError::DiskFull)
                                        << std::optional(kv::ToolbarCommand::Add)
                                        << "Keystead Vault - Could not write db1.ksd: the disk is full";
        QTest::newRow("read-only disk, Remove")
            << int(Op::WriteNew) << int(kv::FileError::ReadOnly) << std::optional(kv::ToolbarCommand::Remove)
            << "Keystead Vault - Could not write db1.ksd: the disk is read-only";
        QTest::newRow("no permission, start")
            << int(Op::ReadAll) << int(kv::FileError::AccessDenied) << std::optional<kv::ToolbarCommand>()
            << "Keystead Vault - Could not read db1.ksd: permission denied";
        QTest::newRow("no plain reason, Replace")
            << int(Op::RenameOver) << int(kv::FileError::Other) << std::optional(kv::ToolbarCommand::Replace)
            << "Keystead Vault - Could not write db1.ksd";
        QTest::newRow("another instance writing, Replace")
            << int(Op::None) << 0 << std::optional(kv::ToolbarCommand::Replace)
            << "Keystead Vault - Could not write db1.ksd: the file is in use by another program";
    }
    void failuresSayWhy()
    {
        QFETCH(int, failing);
        QFETCH(int, reason);
        QFETCH(std::optional<kv::ToolbarCommand>, button);
        QFETCH(QString, caption);
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "u", "p")});
        const std::string before = fx.readFile(fx.dataFile());
        kv::test::FaultyFileOps ops(kv::test::FaultyFileOps::Op(failing), "db1.ksd");
        ops.setReason(kv::FileError(reason));
        fx.fileOps = &ops;
        auto w = fx.start();
        bool busy = false;
        kv::WriteLock otherInstance;
        if (failing == int(kv::test::FaultyFileOps::Op::None))
            otherInstance = kv::realFileOps().tryLockFolder(fx.folder(), busy);
        if (button) {
            kvtest::selectRow(w.get(), 0);
            kvtest::type(w.get(), {"", "a", "x", "", "y"});
            kvtest::press(w.get(), *button);
        }
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(fx.readFile(fx.dataFile()), before);
    }

    // Mended fault: a list that is not a whole copy of the file (its load failed, or another program
    // wrote the file since) was written over it by Remove and Replace, and the entries it lacked were
    // gone. Both now change nothing until the database is read again; Add, which loses nothing, goes on.
    void aListThatIsNotTheFileIsNeverWrittenOverIt_data()
    {
        QTest::addColumn<bool>("loadFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("not read at start") << true << "Keystead Vault - Not saved: db1.ksd could not be read";
        QTest::newRow("written by another program")
            << false << "Keystead Vault - Not saved: db1.ksd was changed outside the program";
    }
    void aListThatIsNotTheFileIsNeverWrittenOverIt()
    {
        QFETCH(bool, loadFails);
        QFETCH(QString, message);
        kvtest::WindowFixture fx;
        std::vector<kv::Record> onDisk{record("a", "u1", "p1"), record("b", "u2", "p2")};
        std::unique_ptr<kv::FrmScrn> w;
        if (loadFails) {
            std::filesystem::create_directory(fx.dataFile()); // unreadable for a moment
            w = fx.start();
            QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Could not read db1.ksd"));
            std::filesystem::remove(fx.dataFile());
            fx.writeDatabase(onDisk);
            kvtest::type(w.get(), {"", "new", "u", "", "p"});
            kvtest::press(w.get(), kv::ToolbarCommand::Add);
            onDisk.push_back(record("new", "u", "p", "", "", Now));
        } else {
            fx.writeDatabase(onDisk);
            w = fx.start();
            QVERIFY(kv::AppendRecord(fx.folder(), "db1", kv::BuildRecordLine(record("elsewhere"))));
            onDisk.push_back(record("elsewhere"));
        }
        const std::string before = fx.readFile(fx.dataFile());
        const int rows = w->model().count();
        for (const kv::ToolbarCommand button : {kv::ToolbarCommand::Remove, kv::ToolbarCommand::Replace}) {
            kvtest::selectRow(w.get(), 0);
            kvtest::type(w.get(), {"", QString::fromStdString(w->model().at(0).service), "x", "", "y"});
            kvtest::press(w.get(), button);
            QCOMPARE(w->windowTitle(), message);
            QCOMPARE(w->model().count(), rows);
            QCOMPARE(fx.readFile(fx.dataFile()), before);
            QVERIFY(!std::filesystem::exists(fx.folder() / "db1.bak"));
        }
        // Reading the database again, with a click on its box, lifts the guard.
        kvtest::click(kvtest::box(w.get(), 0), Qt::RightButton, QPoint(6, 6));
        QCOMPARE(w->model().count(), int(onDisk.size()));
        kvtest::selectRow(w.get(), 0);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        onDisk.erase(onDisk.begin());
        QCOMPARE(fx.readDatabase(), onDisk);
    }
};

QTEST_MAIN(TestEditing)
#include "tst_editing_commands.moc"

// The log-in to the program across restarts, and switching among the three
// databases.

#include "app/window_fixture.h"
#include "faulty_file_ops.h"
#include "gui_test_support.h"
#include "lock/lock_record.h"
#include "product/product.h"
#include "seal/seal_key.h"
#include "storage/line_cipher.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>

using kvtest::Fields;
using kvtest::record;

namespace {

std::string lockText(kvtest::WindowFixture& fx)
{
    return kv::DecodeLine(fx.settings().get(kv::LockSetting), kv::AppTitle);
}

void storeLock(kvtest::WindowFixture& fx, const std::string& text)
{
    fx.settings().save(kv::LockSetting, kv::EncodeLine(text, kv::AppTitle));
}

// Writes database `number` sealed under `key`.
void writeSealed(kvtest::WindowFixture& fx, const std::vector<kv::Record>& rows, const kv::LineSeal& key, int number)
{
    kv::RecordTable table;
    for (const kv::Record& row : rows)
        table.append(row);
    kv::realFileOps().writeNew(fx.dataFile(number), "");
    if (!kv::SaveDatabase(fx.folder(), "db" + std::to_string(number), table, kv::realFileOps(), nullptr, &key))
        qWarning("could not write the sealed test database");
}

// Where a user clicks a caption-less check box: on its indicator.
QPoint onIndicator()
{
    return QPoint(6, 6);
}

} // namespace

class TestLockAndDatabases : public QObject
{
    Q_OBJECT

private slots:
    void addingTheLockEntryArmsTheNextStart()
    {
        kvtest::WindowFixture fx;
        {
            auto w = fx.start();
            kvtest::type(w.get(), {"", "Keystead Vault", "u", "", "p"});
            kvtest::press(w.get(), kv::ToolbarCommand::Add);
            QVERIFY(!w->isLocked());
            QCOMPARE(w->model().at(0).service, std::string("Keystead Vault"));
            QVERIFY(lockText(fx).starts_with("u|p|"));
        }
        auto w = fx.start();
        QVERIFY(w->isLocked());
        QVERIFY(w->findChild<QFrame*>(kv::objectNames::LockPanel)->isVisible());
        QCOMPARE(w->findChild<QLabel*>(kv::objectNames::LockMessage)->text(),
                 QStringLiteral("Authentication required.   Please enter username and password"));
        QVERIFY(!w->findChild<QFrame*>(kv::objectNames::ToolsStrip)->isEnabled());
        QVERIFY(w->findChild<QFrame*>(kv::objectNames::EditArea)->isEnabled());
        // The covered list is out of the keyboard's reach too.
        QVERIFY(!kvtest::list(w.get())->isEnabled());
    }

    void typingTheCredentialsUnlocksAtTheMatchingKeystroke()
    {
        kvtest::WindowFixture fx;
        storeLock(fx, "user|pw  |");
        auto w = fx.start();
        QVERIFY(w->isLocked());
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Comments), QStringLiteral("note"));
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Username), QStringLiteral("user"));
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Password), QStringLiteral("p"));
        QVERIFY(w->isLocked());
        // The stored trailing spaces were trimmed: "pw" is the whole password.
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Password), QStringLiteral("w"));
        QVERIFY(!w->isLocked());
        QVERIFY(!w->findChild<QFrame*>(kv::objectNames::LockPanel)->isVisible());
        QVERIFY(w->findChild<QFrame*>(kv::objectNames::ToolsStrip)->isEnabled());
        QVERIFY(kvtest::list(w.get())->isEnabled());
        // Cleared as after any command, the user name retained.
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Comments)->text(), QString());
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Password)->text(), QString());
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Username)->text(), QStringLiteral("user"));
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Address)->text(), QStringLiteral("http://"));
        // The list takes the window's size again.
        QCOMPARE(kvtest::list(w.get())->width(), w->width() - kv::toPixels(250));
    }

    void wrongCredentialsKeepTheWindowLocked_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("user name in other case") << "user|pw|"
                                                 << "User"
                                                 << "pw";
        QTest::newRow("same lengths, other text") << "user|pw|"
                                                  << "usex"
                                                  << "pw";
    }
    void wrongCredentialsKeepTheWindowLocked()
    {
        QFETCH(QString, stored);
        QFETCH(QString, user);
        QFETCH(QString, password);
        kvtest::WindowFixture fx;
        storeLock(fx, stored.toStdString());
        auto w = fx.start();
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Username), user);
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Password), password);
        QVERIFY(w->isLocked());
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Password)->text(), password);
    }

    void recordsThatDoNotLock_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("user name, no password") << "user||";
        QTest::newRow("disarmed") << "||";
        QTest::newRow("no bar at all") << "userpw";
        QTest::newRow("not cipher text") << "";
    }
    void recordsThatDoNotLock()
    {
        QFETCH(QString, stored);
        kvtest::WindowFixture fx;
        if (stored.isEmpty())
            fx.settings().save(kv::LockSetting, "not hex at all");
        else
            storeLock(fx, stored.toStdString());
        fx.writeDatabase({record("a", "", "", "note", "a.example")});
        auto w = fx.start();
        QVERIFY(!w->isLocked());
        QVERIFY(w->findChild<QFrame*>(kv::objectNames::ToolsStrip)->isEnabled());
        // Unlocked, empty credentials never clear the other fields.
        kvtest::clickRow(w.get(), 0);
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Comments)->text(), QStringLiteral("note"));
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Address)->text(), QStringLiteral("a.example"));
    }

    void lockedWindowKeepsThePanelOverTheListWhenResized()
    {
        kvtest::WindowFixture fx;
        storeLock(fx, "u|p|");
        auto w = fx.start();
        w->resize(w->width() + 60, w->height() + 45);
        auto* frame3 = w->findChild<QFrame*>(kv::objectNames::LockPanel);
        QCOMPARE(frame3->width(), w->width() - kv::toPixels(50));
        QCOMPARE(frame3->geometry().bottom() + 1, w->height() - kv::toPixels(10));
    }

    void removingTheLockEntryWithItsCredentialsDisarms()
    {
        kvtest::WindowFixture fx;
        storeLock(fx, "u|p|later|");
        fx.writeDatabase({record("other"), record("Keystead Vault", "u", "p"), record("Keystead Vault", "u", "p")});
        auto w = fx.start();
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Username), QStringLiteral("u"));
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Password), QStringLiteral("p"));
        QVERIFY(!w->isLocked());
        // Loading the entry sets the password tooltip the check compares.
        kvtest::clickRow(w.get(), 2);
        kvtest::selectRow(w.get(), 0);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        QCOMPARE(lockText(fx).substr(0, 8), std::string("||later|"));
        // The first entry of that name went, not the selected row.
        QCOMPARE(fx.readDatabase(), (std::vector<kv::Record>{record("other"), record("Keystead Vault", "u", "p")}));
    }

    void removingTheLockEntryWithOtherCredentialsKeepsTheLock()
    {
        kvtest::WindowFixture fx;
        storeLock(fx, "u|p|");
        fx.writeDatabase({record("other"), record("Keystead Vault", "u", "p")});
        auto w = fx.start();
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Username), QStringLiteral("u"));
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Password), QStringLiteral("p"));
        kvtest::clickRow(w.get(), 1);
        kvtest::field(w.get(), kv::FieldIndex::Username)->setText(QStringLiteral("someone else"));
        kvtest::selectRow(w.get(), 0);
        kvtest::press(w.get(), kv::ToolbarCommand::Remove);
        QVERIFY(lockText(fx).starts_with("u|p|"));
        QCOMPARE(fx.readDatabase(), (std::vector<kv::Record>{record("Keystead Vault", "u", "p")}));
    }

    // Mended fault: a Replace of the log-in's own entry said nothing of the log-in,
    // which kept the old password out of sight, and a later Remove of the entry no
    // longer disarmed it. The log-in follows its entry; other entries leave it be.
    void replacingTheLockEntryChangesTheLogIn()
    {
        kvtest::WindowFixture fx;
        storeLock(fx, "u|p|later|");
        fx.writeDatabase({record("other", "u", "p"), record("Keystead Vault", "u", "p")});
        auto w = fx.start();
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Username), QStringLiteral("u"));
        QTest::keyClicks(kvtest::field(w.get(), kv::FieldIndex::Password), QStringLiteral("p"));
        QVERIFY(!w->isLocked());
        for (const int row : {1, 0}) {
            kvtest::clickRow(w.get(), row);
            kvtest::field(w.get(), kv::FieldIndex::Password)->setText(QStringLiteral("new%1").arg(row));
            kvtest::press(w.get(), kv::ToolbarCommand::Replace);
            QCOMPARE(lockText(fx).substr(0, 13), std::string("u|new1|later|"));
        }
    }

    // Mended faults: at a locked window anyone could add a "Keystead Vault" entry of their own, so
    // replacing the log-in with one they know; and the Tools label, drawn disabled, still opened the menu.
    void aLockedWindowKeepsItsLogInAndItsMenu()
    {
        kvtest::WindowFixture fx;
        storeLock(fx, "u|p|");
        auto w = fx.start();
        const std::string lock = fx.settings().get(kv::LockSetting);
        kvtest::type(w.get(), {"", "Keystead Vault", "me", "", "mine"});
        kvtest::press(w.get(), kv::ToolbarCommand::Add);
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Unlock before changing the log-in"));
        QCOMPARE(fx.settings().get(kv::LockSetting), lock);
        QCOMPARE(w->model().count(), 0);
        QVERIFY(!std::filesystem::exists(fx.dataFile()));
        kvtest::click(kvtest::named<QLabel>(w.get(), kv::objectNames::ToolsLabel));
        QTest::qWait(50);
        QVERIFY(!kvtest::menu(w.get(), kv::objectNames::FileMenu)->isVisible());

        // The stored credentials still unlock, and the menu opens again.
        kvtest::type(w.get(), {"", "", "u", "", "p"});
        QVERIFY(!w->isLocked());
        kvtest::click(kvtest::named<QLabel>(w.get(), kv::objectNames::ToolsLabel));
        QTRY_VERIFY(kvtest::menu(w.get(), kv::objectNames::FileMenu)->isVisible());
        kvtest::menu(w.get(), kv::objectNames::FileMenu)->hide();
    }

    // Mended fault: a log-in that could not be stored went unreported, and the user believed the
    // program protected (or no longer locked).
    void aLogInThatCannotBeStoredIsReported_data()
    {
        QTest::addColumn<bool>("arming");
        QTest::newRow("arming") << true;
        QTest::newRow("disarming") << false;
    }
    void aLogInThatCannotBeStoredIsReported()
    {
        QFETCH(bool, arming);
        kvtest::WindowFixture fx;
        if (!arming)
            storeLock(fx, "u|p|");
        fx.writeDatabase({record("Keystead Vault", "u", "p")});
        kv::test::FaultyFileOps unwritable(kv::test::FaultyFileOps::Op::RenameOver, "settings.reg");
        fx.registry = std::make_unique<kv::RegFileRegistry>(fx.settingsFile(), unwritable);
        const std::string lock = fx.settings().get(kv::LockSetting);
        auto w = fx.start();
        if (arming) {
            kvtest::type(w.get(), {"", "Keystead Vault", "u2", "", "p2"});
            kvtest::press(w.get(), kv::ToolbarCommand::Add);
            QCOMPARE(fx.readDatabase().size(), std::size_t(2)); // the entry itself is stored
        } else {
            kvtest::type(w.get(), {"", "", "u", "", "p"});
            kvtest::clickRow(w.get(), 0);
            kvtest::press(w.get(), kv::ToolbarCommand::Remove);
            // Still armed: its entry stays, the reminder of what unlocks.
            QCOMPARE(w->model().count(), 1);
            QCOMPARE(fx.readDatabase().size(), std::size_t(1));
        }
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Could not store the log-in"));
        QCOMPARE(fx.settings().get(kv::LockSetting), lock);
    }

    // Mended fault: a password of spaces alone read back as none (the record's fields are trimmed),
    // so the lock the user believed armed never locked.
    void refusedLockEntryDoesNotArm_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("rows");
        QTest::newRow("a bar") << "p|q"
                               << "Keystead Vault - Fields cannot contain | or line breaks" << 0;
        QTest::newRow("spaces alone") << "   "
                                      << "Keystead Vault - Could not store the log-in" << 1;
    }
    void refusedLockEntryDoesNotArm()
    {
        QFETCH(QString, password);
        QFETCH(QString, caption);
        QFETCH(int, rows);
        kvtest::WindowFixture fx;
        auto w = fx.start();
        kvtest::type(w.get(), {"", "Keystead Vault", "u", "", password});
        kvtest::press(w.get(), kv::ToolbarCommand::Add);
        QCOMPARE(fx.settings().get(kv::LockSetting), std::string());
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(w->model().count(), rows);
    }

    // Mended fault: behind the panel the list kept its rows and its selection, so anyone could read
    // every entry through the accessibility interface, select one, and Remove or Replace it.
    void aLockedWindowShowsAndChangesNoEntry()
    {
        kvtest::WindowFixture fx;
        storeLock(fx, "u|p|");
        fx.writeDatabase({record("mail", "ann", "pw1", "a note", "mail.example"), record("bank", "bob", "pw2")});
        const std::string before = fx.readFile(fx.dataFile());
        auto w = fx.start();
        QTableView* view = kvtest::list(w.get());
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view);
        QVERIFY(table && table->tableInterface());
        QCOMPARE(table->tableInterface()->rowCount(), 0);
        QVERIFY(!table->tableInterface()->selectRow(0));
        for (int i = 0; i < table->childCount(); ++i) {
            const QString name = table->child(i)->text(QAccessible::Name);
            for (const char* stored : {"mail", "ann", "a note", "bank", "bob"})
                QVERIFY2(!name.contains(QLatin1String(stored)), qPrintable(name));
        }
        for (const kv::ToolbarCommand button : {kv::ToolbarCommand::Remove, kv::ToolbarCommand::Replace}) {
            kvtest::selectRow(w.get(), 0);
            kvtest::type(w.get(), {"", "mail", "x", "", "y"});
            kvtest::press(w.get(), button);
            QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Unlock before changing entries"));
            QCOMPARE(fx.readFile(fx.dataFile()), before);
            QVERIFY(!std::filesystem::exists(fx.folder() / "db1.bak"));
        }
        QCOMPARE(w->model().count(), 2);

        // Unlocked, the rows are back as they were, in columns as wide as ever.
        kvtest::type(w.get(), {"", "", "u", "", "p"});
        QVERIFY(!w->isLocked());
        QCOMPARE(view->model()->rowCount(), 2);
        QCOMPARE(view->model()->index(0, kv::ColUsername).data().toString(), QStringLiteral("ann"));
        QCOMPARE(view->columnWidth(kv::ColService), kv::toPixels(1440));
        QVERIFY(view->isColumnHidden(kv::ColPassHidden));
    }

    // A sealed database shows and changes nothing until its password is typed into the Password
    // field and confirmed with Enter; a key still being made when another database is chosen is
    // not used for that one, though it would fit (db3 shares db1's seal).
    void aSealedDatabaseOpensWithItsPassword_data()
    {
        QTest::addColumn<bool>("logIn");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("open at the start") << false << false;
        QTest::newRow("after the log-in") << true << false;
        QTest::newRow("chosen in the strip") << false << true;
    }
    void aSealedDatabaseOpensWithItsPassword()
    {
        QFETCH(bool, logIn);
        QFETCH(bool, chosen);
        kvtest::WindowFixture fx;
        const std::shared_ptr<const kv::LineSeal> key =
            kv::newSealKey("sekrit", kv::MinSealMemoryKiB, kv::MinSealPasses);
        QVERIFY(key);
        writeSealed(fx, {record("mail", "ann", "pw1")}, *key, 1);
        writeSealed(fx, {record("other")}, *key, 3);
        kv::realFileOps().writeNew(fx.folder() / "db1.sync-conflict-20261209-101500-ABCDEF7.ksd", "");
        if (logIn)
            storeLock(fx, "u|p|");
        if (chosen)
            fx.settings().save(kv::DatabaseSetting, "1");
        const std::string before = fx.readFile(fx.dataFile());
        auto w = fx.start();
        QLineEdit* password = kvtest::field(w.get(), kv::FieldIndex::Password);
        auto* panel = w->findChild<QFrame*>(kv::objectNames::LockPanel);
        auto* message = w->findChild<QLabel*>(kv::objectNames::LockMessage);
        if (logIn) {
            QCOMPARE(message->text(), QStringLiteral("Authentication required.   Please enter username and password"));
            kvtest::type(w.get(), {"", "", "u", "", "p"});
            QVERIFY(!w->isLocked());
        }
        if (chosen)
            kvtest::click(kvtest::box(w.get(), 0), Qt::LeftButton, onIndicator());
        QVERIFY(panel->isVisible());
        QCOMPARE(message->text(), QStringLiteral("db1.ksd is sealed.   Please enter its password"));
        QVERIFY(w->findChild<QFrame*>(kv::objectNames::ToolsStrip)->isEnabled());
        QCOMPARE(QAccessible::queryAccessibleInterface(kvtest::list(w.get()))->tableInterface()->rowCount(), 0);
        QCOMPARE(password->text(), QString()); // the log-in's password is not this one

        for (const kv::ToolbarCommand command :
             {kv::ToolbarCommand::Add, kv::ToolbarCommand::Remove, kv::ToolbarCommand::Replace}) {
            kvtest::type(w.get(), {"", "mail", "x", "", "y"});
            w->setWindowTitle(QString());
            kvtest::press(w.get(), command);
            QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - db1.ksd is sealed: enter its password first"));
            QCOMPARE(fx.readFile(fx.dataFile()), before);
        }

        // Masked, and kept off the clipboard, whatever Hide Passwords says.
        kvtest::action(w.get(), kv::objectNames::HideItem)->trigger();
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        kvtest::action(w.get(), kv::objectNames::CopyPasswordItem)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

        const auto enter = [&](const QString& typed) {
            password->clear();
            QTest::keyClicks(password, typed);
            QTest::keyClick(password, Qt::Key_Return);
            QCOMPARE(password->text(), QString());
        };
        enter(QStringLiteral("nope"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Opening db1.ksd..."));
        QTRY_COMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Wrong password for db1.ksd"));
        QVERIFY(panel->isVisible());
        // Half a password, then another database: nothing of it stays there, not even for Undo.
        QTest::keyClicks(password, QStringLiteral("half"));
        kvtest::click(kvtest::box(w.get(), 1), Qt::LeftButton, onIndicator());
        QCOMPARE(password->echoMode(), QLineEdit::Normal);
        QCOMPARE(password->text(), QString());
        QVERIFY(!password->isUndoAvailable());
        kvtest::click(kvtest::box(w.get(), 0), Qt::LeftButton, onIndicator());

        enter(QStringLiteral("sekrit"));
        kvtest::click(kvtest::box(w.get(), 2), Qt::LeftButton, onIndicator());
        QCOMPARE(message->text(), QStringLiteral("db3.ksd is sealed.   Please enter its password"));
        enter(QStringLiteral("wrong")); // made once the one for db1 is done
        QTRY_COMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - Wrong password for db3.ksd"));
        QVERIFY(panel->isVisible());
        QCOMPARE(w->model().count(), 0);

        kvtest::click(kvtest::box(w.get(), 0), Qt::LeftButton, onIndicator());
        enter(QStringLiteral("sekrit"));
        QTRY_VERIFY(!panel->isVisible());
        // Its conflict copy is told once it is open, as for any database.
        QCOMPARE(w->windowTitle(),
                 QStringLiteral("Keystead Vault - db1.ksd has 1 conflict copy: keystead-vault-cli merge --conflicts"));
        QCOMPARE(kvtest::list(w.get())->model()->rowCount(), 1);
        QCOMPARE(kvtest::list(w.get())->model()->index(0, kv::ColUsername).data().toString(), QStringLiteral("ann"));
        QVERIFY(kvtest::list(w.get())->isEnabled());
        QCOMPARE(password->echoMode(), QLineEdit::Normal);
        QVERIFY(!password->isUndoAvailable()); // Undo in the open field would show the password

        // Open, it takes an Add as any other, and stays sealed.
        kvtest::type(w.get(), {"", "new", "x", "", "y"});
        kvtest::press(w.get(), kv::ToolbarCommand::Add);
        QCOMPARE(w->model().count(), 2);
        QVERIFY(fx.readFile(fx.dataFile()).starts_with("*KVSEAL"));
        // But not the log-in's entry with the database's own password: the log-in is kept in the open.
        const std::optional<kv::Credentials> lockBefore = kv::ReadLockRecord(fx.settings());
        kvtest::type(w.get(), {"", "Keystead Vault", "u", "", "sekrit"});
        kvtest::press(w.get(), kv::ToolbarCommand::Add);
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault - That is the database's password, and the "
                                                  "log-in's is stored where anyone can read it: choose another"));
        QCOMPARE(w->model().count(), 2);
        QVERIFY(kv::ReadLockRecord(fx.settings()) == lockBefore);
    }

    void leftClickSwitchesDatabaseAndIsRemembered()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("one")}, 1);
        fx.writeDatabase({record("three")}, 3);
        // A sync tool's conflict copies: two of db3, one of db1, and one of neither.
        for (const char* name :
             {"db3.sync-conflict-20261209-101500-ABCDEF7.ksd", "db3 (conflicted copy 2026-12-09 101500).ksd",
              "db1 (Ann's conflicted copy 2026-12-09).ksd", "db30 (conflicted copy 2026-12-09 101500).ksd"})
            kv::realFileOps().writeNew(fx.folder() / name, "");
        const auto told = [](int number, const QString& copies) {
            return QStringLiteral("Keystead Vault - db%1.ksd has %2: keystead-vault-cli merge --conflicts")
                .arg(number)
                .arg(copies);
        };
        {
            auto w = fx.start();
            QCOMPARE(w->windowTitle(), told(1, QStringLiteral("1 conflict copy")));
            // Anywhere on the box, not only on its indicator.
            kvtest::click(kvtest::box(w.get(), 2), Qt::LeftButton, QPoint(kvtest::box(w.get(), 2)->width() - 2, 6));
            QCOMPARE(w->windowTitle(), told(3, QStringLiteral("2 conflict copies")));
            // Once for each opening: Clear's caption replaces it, and a reload is no opening.
            kvtest::press(w.get(), kv::ToolbarCommand::Clear);
            kvtest::click(kvtest::box(w.get(), 1), Qt::RightButton, onIndicator());
            QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault"));
            QVERIFY(kvtest::box(w.get(), 2)->isChecked());
            QVERIFY(!kvtest::box(w.get(), 0)->isChecked() && !kvtest::box(w.get(), 1)->isChecked());
            QCOMPARE(w->dataFileBase(), QStringLiteral("db3"));
            QCOMPARE(fx.settings().get(kv::DatabaseSetting), std::string("2"));
            QCOMPARE(w->model().count(), 1);
            QCOMPARE(w->model().at(0).service, std::string("three"));

            // Adding goes to the open database only.
            kvtest::type(w.get(), {"", "new", "", "", ""});
            kvtest::press(w.get(), kv::ToolbarCommand::Add);
            kvtest::click(kvtest::box(w.get(), 0), Qt::LeftButton, onIndicator());
            QCOMPARE(w->windowTitle(), told(1, QStringLiteral("1 conflict copy")));
            QCOMPARE(w->model().count(), 1);
            QCOMPARE(w->model().at(0).service, std::string("one"));
            QCOMPARE(fx.readDatabase(3).size(), std::size_t(2));
            QCOMPARE(fx.readDatabase(1).size(), std::size_t(1));
            kvtest::click(kvtest::box(w.get(), 2), Qt::LeftButton, onIndicator());
        }
        auto w = fx.start();
        QVERIFY(kvtest::box(w.get(), 2)->isChecked());
        QCOMPARE(w->model().count(), 2);
    }

    void aSortedListStaysSortedAcrossASwitch()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("b"), record("c"), record("a")}, 1);
        auto w = fx.start();
        w->model().sortOnHeaderClick(kv::ColService); // descending
        kvtest::click(kvtest::box(w.get(), 1), Qt::RightButton, onIndicator());
        QCOMPARE(w->model().at(0).service, std::string("c"));
        QCOMPARE(w->model().at(2).service, std::string("a"));
    }

    void otherWaysOfTouchingTheBoxes()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("one")}, 1);
        auto w = fx.start();
        // Clicking the open database's box unchecks it and reloads the same file.
        kvtest::click(kvtest::box(w.get(), 0), Qt::LeftButton, onIndicator());
        QVERIFY(!kvtest::box(w.get(), 0)->isChecked());
        QCOMPARE(w->dataFileBase(), QStringLiteral("db1"));
        QCOMPARE(fx.settings().get(kv::DatabaseSetting), std::string("0"));
        QCOMPARE(w->model().count(), 1);

        // A right click reloads the open database and changes nothing else.
        fx.writeDatabase({record("one"), record("added elsewhere")}, 1);
        kvtest::click(kvtest::box(w.get(), 1), Qt::RightButton, onIndicator());
        QCOMPARE(w->dataFileBase(), QStringLiteral("db1"));
        QCOMPARE(fx.settings().get(kv::DatabaseSetting), std::string("0"));
        QVERIFY(!kvtest::box(w.get(), 1)->isChecked());
        QCOMPARE(w->model().count(), 2);

        // The space bar toggles only the box.
        kvtest::box(w.get(), 2)->setFocus();
        QTest::keyClick(kvtest::box(w.get(), 2), Qt::Key_Space);
        QVERIFY(kvtest::box(w.get(), 2)->isChecked());
        QCOMPARE(w->dataFileBase(), QStringLiteral("db1"));
        QCOMPARE(fx.settings().get(kv::DatabaseSetting), std::string("0"));
        QCOMPARE(w->model().count(), 2);
    }
};

QTEST_MAIN(TestLockAndDatabases)
#include "tst_lock_and_databases.moc"

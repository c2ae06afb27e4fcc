// What a screen reader and a keyboard user meet, through Qt's own accessibility
// interface: every control named, nothing hidden spoken, every menu and command
// within reach of a key.

#include "app/window_fixture.h"
#include "gui_test_support.h"
#include "product/product.h"
#include "storage/line_cipher.h"
#include "tools/frm_gen.h"

#include <QAccessible>
#include <QtTest>

using kvtest::record;

namespace {

const QStringList Passwords = {"Sesame-4711", "Zebra-0815"};

// Every text an accessible object offers: its name, description, value and help,
// and its text when it has a text interface.
QStringList textsOf(QAccessibleInterface* iface)
{
    QStringList texts;
    for (const auto kind : {QAccessible::Name, QAccessible::Description, QAccessible::Value, QAccessible::Help})
        texts << iface->text(kind);
    if (QAccessibleTextInterface* text = iface->textInterface())
        texts << text->text(0, text->characterCount());
    return texts;
}

// The object and everything under it, depth first.
void collect(QAccessibleInterface* iface, QList<QAccessibleInterface*>& all)
{
    if (!iface || all.contains(iface))
        return;
    all << iface;
    for (int i = 0; i < iface->childCount(); ++i)
        collect(iface->child(i), all);
}

void activate(QWidget* window)
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void controlsHaveRolesAndNames_data()
    {
        QTest::addColumn<QString>("window"); // "main", "locked" or "generator"
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        const QString fields[] = {"Address", "Service", "Username", "Comments", "Password"};
        for (int i = 0; i < 5; ++i)
            QTest::addRow("Text1_%d", i) << "main" << kv::objectNames::field(kv::FieldIndex(i))
                                         << int(QAccessible::EditableText) << fields[i];
        for (int i = 0; i < 3; ++i)
            QTest::addRow("Check1_%d", i) << "main" << kv::objectNames::databaseBox(i) << int(QAccessible::CheckBox)
                                          << QStringLiteral("Database %1").arg(i + 1);
        const QString commands[] = {"Add", "Remove", "Replace", "Clear"};
        for (int i = 0; i < 4; ++i)
            QTest::addRow("Toolbar1_%d", i + 1) << "main" << kv::objectNames::toolbarButton(kv::ToolbarCommand(i + 1))
                                                << int(QAccessible::Button) << commands[i];
        QTest::newRow("Label2") << "main" << kv::objectNames::ToolsLabel << int(QAccessible::ButtonMenu) << "Tools";
        QTest::newRow("ListView1") << "main" << kv::objectNames::RecordList << int(QAccessible::Table) << "Entries";
        QTest::newRow("frmScrn") << "main" << kv::objectNames::Window << int(QAccessible::Window)
                                 << "Keystead Vault Plus";
        QTest::newRow("Frame1") << "main" << kv::objectNames::EditArea << int(QAccessible::Grouping) << "Entry";
        QTest::newRow("Frame2") << "main" << kv::objectNames::ToolsStrip << int(QAccessible::Grouping)
                                << "Databases and tools";
        QTest::newRow("Frame3") << "locked" << kv::objectNames::LockPanel << int(QAccessible::Grouping) << "Locked";
        QTest::newRow("Label3") << "locked" << kv::objectNames::LockMessage << int(QAccessible::StaticText)
                                << "Authentication required.   Please enter username and password";
        QTest::newRow("frmGen Text1") << "generator" << kv::generatorNames::Password << int(QAccessible::EditableText)
                                      << "Generated password";
        QTest::newRow("frmGen Label1") << "generator" << kv::generatorNames::LengthLabel << int(QAccessible::StaticText)
                                       << "16 characters password.   Click to change length";
    }
    void controlsHaveRolesAndNames()
    {
        QFETCH(QString, window);
        QFETCH(QString, object);
        QFETCH(int, role);
        QFETCH(QString, name);
        kvtest::WindowFixture fx;
        if (window == "locked")
            fx.settings().save(kv::LockSetting, kv::EncodeLine("u|p|", kv::AppTitle));
        auto w = fx.start();
        QObject* found = w.get();
        std::unique_ptr<kv::FrmGen> generator;
        if (window == "generator") {
            generator = std::make_unique<kv::FrmGen>(w.get());
            generator->show();
            found = generator->findChild<QWidget*>(object);
        } else if (object != kv::objectNames::Window) {
            found = w->findChild<QWidget*>(object); // the tool button, not its action of the same name
        }
        QVERIFY2(found, qPrintable(object));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(found);
        QVERIFY(iface);
        QCOMPARE(int(iface->role()), role);
        QCOMPARE(iface->text(QAccessible::Name), name);
    }

    // With an entry loaded into the fields (its password masked, and in the Password field's
    // tooltip, shown as the pointer rests on the field), no accessible object anywhere in the
    // program offers a stored password.
    void nothingHiddenIsSpoken()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("mail", "ann", "Sesame-4711", "note", "mail.example", "07-04-2026 18:30:05"),
                          record("bank", "bob", "Zebra-0815")});
        auto w = fx.start();
        kvtest::clickRow(w.get(), 0);
        QLineEdit* passwordField = kvtest::field(w.get(), kv::FieldIndex::Password);
        QCOMPARE(passwordField->text(), Passwords[0]);
        const QPoint resting = passwordField->rect().center();
        QHelpEvent rest(QEvent::ToolTip, resting, passwordField->mapToGlobal(resting));
        QApplication::sendEvent(passwordField, &rest);

        // The tip shows the password to the eye.
        QWidget* tip = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowType() == Qt::ToolTip)
                tip = window;
        }
        QVERIFY(tip);
        QCOMPARE(tip->property("text").toString(), Passwords[0]);
        QCOMPARE(int(QAccessible::queryAccessibleInterface(tip)->role()), int(QAccessible::ToolTip));

        QList<QAccessibleInterface*> all;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible())
                collect(QAccessible::queryAccessibleInterface(window), all);
        }
        QVERIFY(all.size() > 40); // the cells of the list are in it
        for (QAccessibleInterface* iface : all) {
            for (const QString& text : textsOf(iface)) {
                for (const QString& password : Passwords)
                    QVERIFY2(!text.contains(password), qPrintable(text));
            }
        }
        // The masks read as they show.
        QAccessibleInterface* field =
            QAccessible::queryAccessibleInterface(kvtest::field(w.get(), kv::FieldIndex::Password));
        QCOMPARE(field->text(QAccessible::Value), QString(11, QLatin1Char('*')));

        // The password leaves the screen with the pointer.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(passwordField, &leave);
        QVERIFY(!tip->isVisible());
    }

    void keysReachEveryMenu()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("mail", "ann", "pw"), record("bank", "bob", "pw2")});
        auto w = fx.start();
        activate(w.get());
        QMenu* file = kvtest::menu(w.get(), kv::objectNames::FileMenu);
        QMenu* other = kvtest::menu(w.get(), kv::objectNames::ListMenu);

        // F10 opens the File menu with its first item active; Escape closes it.
        QTest::keyClick(kvtest::field(w.get(), kv::FieldIndex::Service), Qt::Key_F10);
        QTRY_VERIFY(file->isVisible());
        QCOMPARE(file->activeAction(), kvtest::action(w.get(), kv::objectNames::RetainUserItem));
        QTest::keyClick(file, Qt::Key_Escape);
        QTRY_VERIFY(!file->isVisible());

        // The Tools label's press action does what a click does.
        QAccessibleInterface* tools =
            QAccessible::queryAccessibleInterface(kvtest::named<QLabel>(w.get(), kv::objectNames::ToolsLabel));
        QVERIFY(tools->actionInterface());
        tools->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(file->isVisible());
        file->hide();

        // Shift+F10 and the Menu key open "Other" at the list's current row.
        QTableView* list = kvtest::list(w.get());
        list->setFocus();
        list->setCurrentIndex(list->model()->index(1, 0));
        for (const auto& [key, modifier] :
             {std::pair{Qt::Key_F10, Qt::ShiftModifier}, {Qt::Key_Menu, Qt::NoModifier}}) {
            QTest::keyClick(list, key, modifier);
            QTRY_VERIFY(other->isVisible());
            QVERIFY(
                list->viewport()->rect().translated(list->viewport()->mapToGlobal(QPoint())).contains(other->pos()));
            QTest::keyClick(other, Qt::Key_Escape);
            QTRY_VERIFY(!other->isVisible());
        }

        // Enter loads the current row, as a click does; Tab leaves the list.
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Service)->text(), QStringLiteral("bank"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Tab);
        QTRY_VERIFY(!list->hasFocus());
        QCOMPARE(QApplication::focusWidget(), kvtest::box(w.get(), 0));

        // Arrow keys never take the focus into the hidden columns.
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, kv::ColAddress));
        QTest::keyClick(list, Qt::Key_Right);
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentIndex().column(), int(kv::ColAddress));

        // Enter on a database box opens that database.
        kvtest::box(w.get(), 2)->setFocus();
        QTest::keyClick(kvtest::box(w.get(), 2), Qt::Key_Return);
        QCOMPARE(w->dataFileBase(), QStringLiteral("db3"));
        QVERIFY(kvtest::box(w.get(), 2)->isChecked());
        QVERIFY(!kvtest::box(w.get(), 0)->isChecked());
    }

    void aLockedWindowOpensNoMenuByKey()
    {
        kvtest::WindowFixture fx;
        fx.settings().save(kv::LockSetting, kv::EncodeLine("u|p|", kv::AppTitle));
        auto w = fx.start();
        activate(w.get());
        QTest::keyClick(kvtest::field(w.get(), kv::FieldIndex::Service), Qt::Key_F10);
        QAccessible::queryAccessibleInterface(kvtest::named<QLabel>(w.get(), kv::objectNames::ToolsLabel))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(50);
        QVERIFY(!kvtest::menu(w.get(), kv::objectNames::FileMenu)->isVisible());
    }

    // The generator's label clicks from the keyboard: Up one more, Down one less, F5 a new one.
    void generatorLengthFromTheKeyboard()
    {
        QWidget owner;
        kv::FrmGen generator(&owner);
        generator.show();
        activate(&generator);
        auto* field = kvtest::named<QLineEdit>(&generator, kv::generatorNames::Password);
        auto* label = kvtest::named<QLabel>(&generator, kv::generatorNames::LengthLabel);
        QTest::keyClick(field, Qt::Key_Up);
        QTest::keyClick(field, Qt::Key_Up);
        QTest::keyClick(field, Qt::Key_Down);
        QCOMPARE(field->text().size(), 17);
        QVERIFY(label->text().startsWith(QStringLiteral("17 ")));
        const QString before = field->text();
        QTest::keyClick(field, Qt::Key_F5);
        QCOMPARE(field->text().size(), 17);
        QVERIFY(field->text() != before);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

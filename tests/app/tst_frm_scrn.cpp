// The main window as a user meets it: controls and menus, the Copy items and Help,
// Hide Passwords, the caret in the fields, stored preferences at start, the layout
// pass, and Quit. The list has tests of its own.

#include "app/window_fixture.h"
#include "gui_test_support.h"

#include <QAction>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTableView>
#include <QToolButton>

using kv::FrmScrn;
using kvtest::column;
using kvtest::emptyPoint;
using kvtest::field;
using kvtest::list;
using kvtest::record;
using kvtest::rowPoint;

class TestFrmScrn : public QObject
{
    Q_OBJECT

private:
    // One line per menu and item, indented by depth: name, caption, check mark, shortcut.
    static void describeMenu(QStringList& lines, const QMenu* menu, int depth)
    {
        const QString indent(2 * depth, QLatin1Char(' '));
        lines << indent + menu->objectName() + QLatin1Char(' ') + menu->title();
        for (const QAction* item : menu->actions()) {
            if (item->isSeparator()) {
                lines << indent + QStringLiteral("  -");
            } else if (const QMenu* sub = item->menu()) {
                describeMenu(lines, sub, depth + 1);
            } else {
                QString line = indent + QStringLiteral("  ") + item->objectName() + QLatin1Char(' ') + item->text();
                if (item->isCheckable())
                    line += item->isChecked() ? QStringLiteral(" [checked]") : QStringLiteral(" [unchecked]");
                if (!item->shortcut().isEmpty())
                    line += QLatin1Char(' ') + item->shortcut().toString(QKeySequence::PortableText);
                lines << line;
            }
        }
    }

private slots:
    // The labels, the toolbar and the menu tree as designed: object names, captions (the Password copy
    // item ends in six blanks), order, check marks and shortcuts, written out in one listing.
    void controlsAndMenusAreAsDesigned()
    {
        kvtest::WindowFixture fx;
        auto w = fx.start();
        QStringList actual;
        for (const char* name : {"Label2", "Label1_0", "Label1_1", "Label1_2", "Label1_3", "Label1_4"})
            actual << QStringLiteral("%1 %2").arg(QLatin1String(name), kvtest::child<QLabel>(w.get(), name)->text());
        for (int i = 1; i <= 4; ++i) {
            const QString name = kv::objectNames::toolbarButton(kv::ToolbarCommand(i));
            actual << name + QLatin1Char(' ') + kvtest::named<QToolButton>(w.get(), name)->text();
        }
        describeMenu(actual, kvtest::menu(w.get(), kv::objectNames::FileMenu), 0);
        describeMenu(actual, kvtest::menu(w.get(), kv::objectNames::ListMenu), 0);
        const QStringList expected = {
            "Label2 Tools",
            "Label1_0 Address",
            "Label1_1 Service",
            "Label1_2 Username",
            "Label1_3 Comments",
            "Label1_4 Password",
            "Toolbar1_1 Add",
            "Toolbar1_2 Remove",
            "Toolbar1_3 Replace",
            "Toolbar1_4 Clear",
            "Tmenu File",
            "  mnuRetainUser Retain Username [checked]",
            "  mnuHide Hide Passwords [checked]",
            "  mnuSuges Suggest Password",
            "  -",
            "  Tadress Addresses are",
            "    mnuAddress_0 HTTP [checked]",
            "    mnuAddress_1 HTTPS [unchecked]",
            "    mnuAddress_2 FTP [unchecked]",
            "  Tcopy Copy",
            "    mnuCopyURL URL Ctrl+A",
            "    mnuCopyUser Username Ctrl+U",
            "    mnuCopyPass Password       Ctrl+P",
            "  -",
            "  mnuHelp Help",
            "  mnuQuit Quit",
            "Tother Other",
            "  mnulines Show grid [unchecked]",
        };
        QCOMPARE(actual, expected);

        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault Plus"));
        QVERIFY(!w->findChild<QFrame*>(kv::objectNames::LockPanel)->isVisible());
        QCOMPARE(w->size(), QSize(508, 377));
        const QPoint offCentre = w->geometry().center() - w->screen()->availableGeometry().center();
        QVERIFY(std::abs(offCentre.x()) <= 2 && std::abs(offCentre.y()) <= 2);
    }

    void copyShortcutsActFromAnyField()
    {
        kvtest::WindowFixture fx;
        auto w = fx.start();
        int fired = 0;
        for (QAction* item : {kvtest::action(w.get(), kv::objectNames::CopyAddressItem),
                              kvtest::action(w.get(), kv::objectNames::CopyUserItem),
                              kvtest::action(w.get(), kv::objectNames::CopyPasswordItem)})
            connect(item, &QAction::triggered, [&fired] { ++fired; });
        w->activateWindow();
        QLineEdit* service = field(w.get(), 1);
        service->setFocus();
        service->setText(QStringLiteral("typed"));
        QTest::keyClick(service, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(service, Qt::Key_U, Qt::ControlModifier);
        QTest::keyClick(field(w.get(), 4), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(fired, 3);
        QCOMPARE(service->text(), QStringLiteral("typed"));
    }

    void helpAndCopyAreWiredToTheWindow()
    {
        kvtest::WindowFixture fx;
        kv::realFileOps().writeNew(fx.folder() / "help.html", "<html></html>");
        fx.writeDatabase({record("site", "me", "hidden-pw", "", "https://site.example")});
        auto w = fx.start();
        w->activateWindow();
        kvtest::click(list(w.get())->viewport(), Qt::LeftButton, rowPoint(w.get(), 0));

        QTest::keyRelease(field(w.get(), 3), Qt::Key_F1);
        kvtest::action(w.get(), kv::objectNames::HelpItem)->trigger();
        QCOMPARE(fx.opened.size(), std::size_t(2));
        QVERIFY(fx.opened[0].endsWith(QStringLiteral("help.html")));

        kvtest::action(w.get(), kv::objectNames::CopyPasswordItem)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("hidden-pw"));
        kvtest::action(w.get(), kv::objectNames::CopyUserItem)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("me"));
        kvtest::action(w.get(), kv::objectNames::CopyAddressItem)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://site.example"));
    }

    // A copied password leaves the clipboard after the wait, or when the window closes, unless
    // something else has been copied since. Steps: a menu item's name, "Ctrl+P", "close", or "pause"
    // (most of the wait, so that a second copy falls in the first one's wait).
    void aCopiedPasswordLeavesTheClipboard_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("delay"); // milliseconds
        QTest::addColumn<QString>("atOnce");
        QTest::addColumn<QString>("atLast");
        const QString pw = QStringLiteral("hidden-pw");
        QTest::newRow("menu item") << QStringList{"mnuCopyPass"} << 50 << pw << QString();
        QTest::newRow("Ctrl+P") << QStringList{"Ctrl+P"} << 50 << pw << QString();
        QTest::newRow("a user name copied since") << QStringList{"mnuCopyPass", "mnuCopyUser"} << 50 << "me"
                                                  << "me";
        QTest::newRow("closing the window") << QStringList{"mnuCopyPass", "close"} << 30000 << QString() << QString();
        QTest::newRow("Quit") << QStringList{"Ctrl+P", "mnuQuit"} << 30000 << QString() << QString();
        QTest::newRow("closing after an address copy")
            << QStringList{"mnuCopyPass", "mnuCopyURL", "close"} << 50 << "https://site.example"
            << "https://site.example";
        QTest::newRow("a second copy waits again")
            << QStringList{"mnuCopyPass", "pause", "Ctrl+P", "pause"} << 2000 << pw << QString();
    }
    void aCopiedPasswordLeavesTheClipboard()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, delay);
        QFETCH(QString, atOnce);
        QFETCH(QString, atLast);
        kvtest::WindowFixture fx;
        fx.clipboardClearDelay = std::chrono::milliseconds(delay);
        fx.writeDatabase({record("site", "me", "hidden-pw", "", "https://site.example")});
        auto w = fx.start();
        w->activateWindow();
        kvtest::click(list(w.get())->viewport(), Qt::LeftButton, rowPoint(w.get(), 0));
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));

        for (const QString& step : steps) {
            if (step == "pause")
                QTest::qWait(delay * 6 / 10);
            else if (step == "close")
                w->close();
            else if (step == "Ctrl+P")
                QTest::keyClick(field(w.get(), 1), Qt::Key_P, Qt::ControlModifier);
            else
                kvtest::action(w.get(), qPrintable(step))->trigger();
#if defined(Q_OS_LINUX)
            if (step == "Ctrl+P" || step == "mnuCopyPass")
                QVERIFY(clipboard->mimeData()->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
#endif
        }
        QCOMPARE(clipboard->text(), atOnce);
        if (!atLast.isEmpty())
            QTest::qWait(3 * delay); // the wait has run out, and left it
        QTRY_COMPARE(clipboard->text(), atLast);
    }

    void toolsLabelOpensFileMenu()
    {
        kvtest::WindowFixture fx;
        auto w = fx.start();
        kvtest::click(kvtest::named<QLabel>(w.get(), kv::objectNames::ToolsLabel));
        QTRY_VERIFY(kvtest::menu(w.get(), kv::objectNames::FileMenu)->isVisible());
        kvtest::menu(w.get(), kv::objectNames::FileMenu)->hide();
    }

    void storedPreferencesApplyAtStart_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("database");
        QTest::addColumn<bool>("gridOn");
        QTest::addColumn<int>("index");
        QTest::newRow("empty store") << ""
                                     << "" << false << 0;
        QTest::newRow("grid True, db3") << "True"
                                        << "2" << true << 2;
        QTest::newRow("grid False, db2") << "False"
                                         << "1" << false << 1;
        QTest::newRow("grid as number") << "-1"
                                        << "0" << true << 0;
        QTest::newRow("index out of range") << "0"
                                            << "7" << false << 0;
        QTest::newRow("index not a number") << "abc"
                                            << "abc" << false << 0;
        QTest::newRow("index negative") << ""
                                        << "-1" << false << 0;
    }
    void storedPreferencesApplyAtStart()
    {
        QFETCH(QString, grid);
        QFETCH(QString, database);
        QFETCH(bool, gridOn);
        QFETCH(int, index);
        kvtest::WindowFixture fx;
        if (!grid.isEmpty())
            fx.settings().save(kv::GridSetting, grid.toStdString());
        if (!database.isEmpty())
            fx.settings().save(kv::DatabaseSetting, database.toStdString());
        fx.writeDatabase({record(qPrintable(QStringLiteral("entry of db%1").arg(index + 1)))}, index + 1);
        auto w = fx.start();
        QCOMPARE(kvtest::action(w.get(), kv::objectNames::GridItem)->isChecked(), gridOn);
        QCOMPARE(list(w.get())->showGrid(), gridOn);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(kvtest::box(w.get(), i)->isChecked(), i == index);
        QCOMPARE(w->dataFileBase(), QStringLiteral("db%1").arg(index + 1));
        QCOMPARE(column(w.get(), 0), QStringList{QStringLiteral("entry of db%1").arg(index + 1)});
        QVERIFY(!w->isLocked());
    }

    void layoutFollowsTheWindowSize()
    {
        kvtest::WindowFixture fx;
        auto w = fx.start();
        const QStringList names = {"Frame1",   "Frame2",   "ListView1", "Shape1_5",
                                   "Shape1_6", "Shape1_7", "Line1",     "Line2"};
        auto geometries = [&] {
            QMap<QString, QRect> g;
            for (const QString& n : names)
                g[n] = w->findChild<QWidget*>(n)->geometry();
            return g;
        };
        const QMap<QString, QRect> before = geometries();
        const int dw = 67; // 1005 twips
        w->resize(w->width() + dw, w->height());
        QMap<QString, QRect> after = geometries();
        for (const QString& n : QStringList{"Frame1", "Frame2", "ListView1", "Shape1_5", "Shape1_6", "Shape1_7"}) {
            QCOMPARE(after[n].width(), before[n].width() + dw);
            QCOMPARE(after[n].top(), before[n].top());
        }
        QCOMPARE(after["Line1"].left(), before["Line1"].left() + dw);
        QCOMPARE(after["Line2"].left(), before["Line2"].left());

        const int dh = 40;
        w->resize(w->width(), w->height() + dh);
        const QMap<QString, QRect> taller = geometries();
        QCOMPARE(taller["ListView1"].height(), after["ListView1"].height() + dh);
        QCOMPARE(taller["Shape1_7"].height(), after["Shape1_7"].height() + dh);
        QCOMPARE(taller["Shape1_6"].top(), after["Shape1_6"].top() + dh);
        QCOMPARE(taller["Line1"].bottom(), after["Line1"].bottom() + dh);
        QCOMPARE(taller["Line2"].bottom(), after["Line2"].bottom() + dh);
        QCOMPARE(taller["Frame1"], after["Frame1"]);

        // Too small for the list: the pass stops at the first impossible size.
        w->resize(w->width(), 60);
        QCOMPARE(w->findChild<QWidget*>(kv::objectNames::RecordList)->height(), taller["ListView1"].height());
    }

    void hidingPasswordsMasksOnlyTheField()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "u", "secret")});
        auto w = fx.start();
        QLineEdit* password = kvtest::field(w.get(), kv::FieldIndex::Password);
        QVERIFY(kvtest::action(w.get(), kv::objectNames::HideItem)->isChecked());
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        kvtest::clickRow(w.get(), 0);
        QCOMPARE(password->displayText(), QStringLiteral("******"));
        kvtest::action(w.get(), kv::objectNames::HideItem)->trigger();
        QVERIFY(!kvtest::action(w.get(), kv::objectNames::HideItem)->isChecked());
        QCOMPARE(password->echoMode(), QLineEdit::Normal);
        kvtest::clickRow(w.get(), 0);
        QCOMPARE(password->displayText(), QStringLiteral("secret"));
        kvtest::action(w.get(), kv::objectNames::HideItem)->trigger();
        QCOMPARE(password->displayText(), QStringLiteral("******"));
        QCOMPARE(password->text(), QStringLiteral("secret"));
        QCOMPARE(w->model().index(0, kv::ColPassword).data().toString(), QStringLiteral("******"));
    }

    void focusPutsTheCaretAtTheEnd()
    {
        kvtest::WindowFixture fx;
        auto w = fx.start();
        w->activateWindow();
        kvtest::field(w.get(), kv::FieldIndex::Username)->setText(QStringLiteral("someone"));
        kvtest::field(w.get(), kv::FieldIndex::Service)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(kvtest::field(w.get(), kv::FieldIndex::Service), Qt::Key_Tab);
        QTRY_VERIFY(kvtest::field(w.get(), kv::FieldIndex::Username)->hasFocus());
        QVERIFY(!kvtest::field(w.get(), kv::FieldIndex::Username)->hasSelectedText());
        QCOMPARE(kvtest::field(w.get(), kv::FieldIndex::Username)->cursorPosition(), 7);
    }

    void quitEmptiesTheListAndLeavesTheFile()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("a", "u", "p"), record("b")});
        const std::string before = fx.readFile(fx.dataFile());
        auto w = fx.start();
        QCOMPARE(w->model().rowCount(), 2);
        kvtest::action(w.get(), kv::objectNames::QuitItem)->trigger();
        QCOMPARE(w->model().rowCount(), 0);
        QVERIFY(!w->isVisible());
        QCOMPARE(fx.readFile(fx.dataFile()), before);
        QVERIFY(!std::filesystem::exists(fx.folder() / "db1.bak"));
    }
};

QTEST_MAIN(TestFrmScrn)
#include "tst_frm_scrn.moc"

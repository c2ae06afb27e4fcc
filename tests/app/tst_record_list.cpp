// The record list as a user meets it: loading a row by click or key, the right
// button's menu, sorting by header, the grid kept across a restart, and a list
// that never gives a password away.

#include "app/window_fixture.h"
#include "gui_test_support.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>

using kvtest::column;
using kvtest::emptyPoint;
using kvtest::field;
using kvtest::list;
using kvtest::record;
using kvtest::rowPoint;

class TestRecordList : public QObject
{
    Q_OBJECT

private slots:
    void showGridSurvivesRestart()
    {
        kvtest::WindowFixture fx;
        {
            auto w = fx.start();
            kvtest::action(w.get(), kv::objectNames::GridItem)->trigger();
            QVERIFY(kvtest::action(w.get(), kv::objectNames::GridItem)->isChecked());
            QVERIFY(list(w.get())->showGrid());
        }
        QCOMPARE(fx.settings().get(kv::GridSetting), std::string("True"));
        {
            auto w = fx.start();
            QVERIFY(kvtest::action(w.get(), kv::objectNames::GridItem)->isChecked());
            QVERIFY(list(w.get())->showGrid());
            kvtest::action(w.get(), kv::objectNames::GridItem)->trigger();
        }
        QCOMPARE(fx.settings().get(kv::GridSetting), std::string("False"));
        QVERIFY(!list(fx.start().get())->showGrid());
    }

    void headerClicksFlipTheOrder()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("beta", "zed", "", "", "", "12-31-2026 10:00:00"),
                          record("Alpha", "amy", "", "", "", "01-20-2027 09:00:00"),
                          record("gamma", "Bob", "", "", "", "")});
        auto w = fx.start();
        QHeaderView* header = list(w.get())->horizontalHeader();
        auto clickHeader = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        clickHeader(kv::ColService);
        QCOMPARE(column(w.get(), 0), (QStringList{"gamma", "beta", "Alpha"}));
        clickHeader(kv::ColService);
        QCOMPARE(column(w.get(), 0), (QStringList{"Alpha", "beta", "gamma"}));
        clickHeader(kv::ColService);
        QCOMPARE(column(w.get(), 0), (QStringList{"gamma", "beta", "Alpha"}));
        // A new column sorts opposite to the previous sort: ascending now.
        clickHeader(kv::ColUsername);
        QCOMPARE(column(w.get(), 1), (QStringList{"amy", "Bob", "zed"}));
        // "Recorded" sorts as text, month first. The column is too narrow to click,
        // so it is sorted the way a header click does.
        w->model().sortOnHeaderClick(kv::ColRecorded);
        QCOMPARE(column(w.get(), 6), (QStringList{"12-31-2026 10:00:00", "01-20-2027 09:00:00", ""}));
        w->model().sortOnHeaderClick(kv::ColRecorded);
        QCOMPARE(column(w.get(), 6), (QStringList{"", "01-20-2027 09:00:00", "12-31-2026 10:00:00"}));
    }

    void sortingKeepsTheSelectedRecordSelected()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("b"), record("a"), record("c")});
        auto w = fx.start();
        QTableView* view = list(w.get());
        kvtest::click(view->viewport(), Qt::LeftButton, rowPoint(w.get(), 0));
        w->model().sortOnHeaderClick(kv::ColService); // descending: c b a
        const QModelIndexList selected = view->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().data().toString(), QStringLiteral("b"));
    }

    void clickAndReleaseLoadsARow()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("mail", "ann", "secret", "note", "http://mail.example", "07-04-2026 18:30:05"),
                          record("old", "bob", "pw", "", "", "")});
        auto w = fx.start();
        QTableView* view = list(w.get());
        kvtest::click(view->viewport(), Qt::LeftButton, rowPoint(w.get(), 0));
        QCOMPARE(field(w.get(), 0)->text(), QStringLiteral("http://mail.example"));
        QCOMPARE(field(w.get(), 1)->text(), QStringLiteral("mail"));
        QCOMPARE(field(w.get(), 2)->text(), QStringLiteral("ann"));
        QCOMPARE(field(w.get(), 3)->text(), QStringLiteral("note"));
        QCOMPARE(field(w.get(), 4)->text(), QStringLiteral("secret"));
        QCOMPARE(field(w.get(), 4)->toolTip(), QStringLiteral("secret"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault Plus - Modified: 07-04-2026 18:30:05"));

        kvtest::click(view->viewport(), Qt::LeftButton, rowPoint(w.get(), 1));
        QCOMPARE(field(w.get(), 1)->text(), QStringLiteral("old"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Keystead Vault Plus"));

        // The click was consumed: a release on empty space loads nothing.
        field(w.get(), 1)->clear();
        kvtest::click(view->viewport(), Qt::LeftButton, emptyPoint(w.get()));
        QCOMPARE(field(w.get(), 1)->text(), QString());

        // Moving the selection with the keyboard loads nothing either.
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Up);
        QCOMPARE(view->selectionModel()->selectedRows().first().row(), 0);
        QCOMPARE(field(w.get(), 1)->text(), QString());
    }

    void rightClickPopsUpOtherAndKeepsTheClickPending()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("first", "u1"), record("second", "u2")});
        auto w = fx.start();
        QTableView* view = list(w.get());
        kvtest::click(view->viewport(), Qt::RightButton, rowPoint(w.get(), 1));
        QTRY_VERIFY(kvtest::menu(w.get(), kv::objectNames::ListMenu)->isVisible());
        QCOMPARE(field(w.get(), 1)->text(), QString());
        kvtest::menu(w.get(), kv::objectNames::ListMenu)->hide();
        // The next left release anywhere over the list loads the selected row.
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, emptyPoint(w.get()));
        QCOMPARE(field(w.get(), 1)->text(), QStringLiteral("second"));
        QCOMPARE(field(w.get(), 2)->text(), QStringLiteral("u2"));
    }

    void passwordsNeverShowInClear()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("site", "me", "abcdefghijkl")});
        auto w = fx.start();
        QCOMPARE(w->model().index(0, kv::ColPassword).data().toString(), QString(12, QLatin1Char('*')));
        QHeaderView* header = list(w.get())->horizontalHeader();
        for (int col : {int(kv::ColPassHidden), int(kv::ColRecorded)}) {
            QVERIFY(header->sectionSize(col) <= 1);
            QCOMPARE(header->sectionResizeMode(col), QHeaderView::Fixed);
        }
        for (int col = 0; col < 5; ++col)
            QCOMPARE(header->sectionSize(col), 96);
    }

    void theKeyboardCannotCopyAClearPassword()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("site", "me", "TopSecret1")});
        auto w = fx.start();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTableView* view = list(w.get());
        view->setFocus();
        view->setCurrentIndex(w->model().index(0, kv::ColPassHidden));
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }

    void rowsCannotBeEditedInPlace()
    {
        kvtest::WindowFixture fx;
        fx.writeDatabase({record("site")});
        auto w = fx.start();
        QTableView* view = list(w.get());
        const QModelIndex index = w->model().index(0, 0);
        view->setCurrentIndex(index);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F2);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rowPoint(w.get(), 0));
        QVERIFY(!view->indexWidget(index));
        QVERIFY(!(w->model().flags(index) & Qt::ItemIsEditable));
        QCOMPARE(index.data().toString(), QStringLiteral("site"));
    }
};

QTEST_MAIN(TestRecordList)
#include "tst_record_list.moc"

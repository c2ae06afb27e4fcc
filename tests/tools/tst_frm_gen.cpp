#include "gui_test_support.h"
#include "tools/frm_gen.h"
#include "tools/password_generator.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>

using kv::FrmGen;

namespace {

const QString Suffix = QStringLiteral(" characters password.   Click to change length");

QLabel* label(QWidget* w)
{
    return kvtest::child<QLabel>(w, "Label1");
}
QLineEdit* field(QWidget* w)
{
    return kvtest::child<QLineEdit>(w, "Text1");
}

bool fromAlphabet(const QString& password)
{
    return password.toStdString().find_first_not_of(kv::PasswordAlphabet) == std::string::npos;
}

// The label states the length, the field holds that many characters of the alphabet, all selected.
void verifyShows(QWidget* window, int length)
{
    QCOMPARE(label(window)->text(), QString::number(length) + Suffix);
    const QString password = field(window)->text();
    QCOMPARE(password.size(), length);
    QVERIFY2(fromAlphabet(password), qPrintable(password));
    QCOMPARE(field(window)->selectedText(), password);
}

void release(QWidget* widget, Qt::MouseButton button)
{
    QTest::mouseRelease(widget, button, Qt::NoModifier, widget->rect().center());
}

} // namespace

class TestFrmGen : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_owner = new QWidget;
        m_owner->setGeometry(200, 150, 508, 377);
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner));
    }
    void cleanup() { delete m_owner; }

    void opensAsAFixedToolWindowWithTheControlsInPlace()
    {
        FrmGen window(m_owner);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(window.objectName(), QStringLiteral("frmGen"));
        QCOMPARE(window.windowTitle(), QStringLiteral(" Generated Password "));
        QCOMPARE(window.size(), QSize(304, 126));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(window.isModal());
        const Qt::WindowFlags flags = window.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        // Centred on the owner, give or take the title bar Qt allows for before a window manager has
        // said how tall it is.
        const QPoint offCentre = window.geometry().center() - m_owner->geometry().center();
        QVERIFY2(qAbs(offCentre.x()) <= 12 && qAbs(offCentre.y()) <= 45, qPrintable(QDebug::toString(offCentre)));

        QCOMPARE(label(&window)->geometry(), QRect(2, 11, 299, 21));
        QCOMPARE(label(&window)->alignment(), Qt::AlignCenter);
        QCOMPARE(label(&window)->focusPolicy(), Qt::NoFocus);
        QCOMPARE(field(&window)->geometry(), QRect(18, 38, 267, 19));
        auto* close = kvtest::child<QPushButton>(&window, "Command1");
        QCOMPARE(close->geometry(), QRect(124, 86, 57, 21));
        QCOMPARE(close->text(), QStringLiteral("Close"));
        QVERIFY(!close->isDefault() && !close->autoDefault());

        verifyShows(&window, 16);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), field(&window));
    }

    void labelReleasesChangeTheLength_data()
    {
        QTest::addColumn<QList<int>>("buttons");
        QTest::addColumn<int>("length");
        QTest::newRow("left") << QList<int>{Qt::LeftButton} << 17;
        QTest::newRow("left twice") << QList<int>{Qt::LeftButton, Qt::LeftButton} << 18;
        QTest::newRow("up and back down") << QList<int>{Qt::LeftButton, Qt::LeftButton, Qt::RightButton} << 17;
        QTest::newRow("right") << QList<int>{Qt::RightButton} << 15;
        QTest::newRow("middle keeps the length") << QList<int>{Qt::MiddleButton} << 16;
    }
    void labelReleasesChangeTheLength()
    {
        QFETCH(QList<int>, buttons);
        QFETCH(int, length);
        FrmGen window(m_owner);
        window.show();
        for (const int button : buttons) {
            const QString before = field(&window)->text();
            release(label(&window), Qt::MouseButton(button));
            QVERIFY2(field(&window)->text() != before, "every accepted release makes a new password");
        }
        verifyShows(&window, length);
    }

    void pressAloneChangesNothing()
    {
        FrmGen window(m_owner);
        window.show();
        const QString before = field(&window)->text();
        QTest::mousePress(label(&window), Qt::LeftButton);
        QCOMPARE(field(&window)->text(), before);
        QCOMPARE(label(&window)->text(), QStringLiteral("16") + Suffix);
    }

    // The edges: shorter than one does not exist, and the length stays a 16-bit signed number.
    void releasesAtTheEdgesChangeNothing_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("renewed");
        QTest::newRow("right at 1") << 1 << int(Qt::RightButton) << 1 << false;
        QTest::newRow("left at 2 goes up") << 2 << int(Qt::LeftButton) << 3 << true;
        QTest::newRow("left at 32766 goes up") << 32766 << int(Qt::LeftButton) << 32767 << true;
        QTest::newRow("left at 32767") << 32767 << int(Qt::LeftButton) << 32767 << false;
        QTest::newRow("middle at 32767 renews") << 32767 << int(Qt::MiddleButton) << 32767 << true;
    }
    void releasesAtTheEdgesChangeNothing()
    {
        QFETCH(int, start);
        QFETCH(int, button);
        QFETCH(int, length);
        QFETCH(bool, renewed);
        FrmGen window(m_owner);
        window.show();
        // The label is the window's only record of the length; bring it to the start by the route the
        // user takes when that is short, by writing it when the route is 32,000 clicks long.
        if (start < 16) {
            for (int i = 16; i > start; --i)
                release(label(&window), Qt::RightButton);
        } else {
            label(&window)->setText(QString::number(start - 1) + Suffix);
            release(label(&window), Qt::LeftButton);
        }
        verifyShows(&window, start);
        const QString before = field(&window)->text();

        release(label(&window), Qt::MouseButton(button));
        verifyShows(&window, length);
        QCOMPARE(field(&window)->text() != before, renewed);
    }

    void enterAndEscapeLeaveItOpen()
    {
        FrmGen window(m_owner);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QString password = field(&window)->text();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(field(&window), key);
            QVERIFY2(window.isVisible(), qPrintable(QString::number(key, 16)));
        }
        QCOMPARE(field(&window)->text(), password);
    }

    // Through the main window's entry point: modal, destroyed by Close, and the next opening is fresh.
    void eachOpeningStartsAtSixteenAndCloseDestroys()
    {
        for (int opening = 0; opening < 2; ++opening) {
            QPointer<QWidget> seen;
            bool checked = false;
            QTimer::singleShot(0, this, [&] {
                seen = QApplication::activeModalWidget();
                // Whatever goes wrong below, the modal loop must end.
                const auto closeAnyway = qScopeGuard([&] {
                    if (seen)
                        seen->close();
                });
                QVERIFY(seen && seen->objectName() == QStringLiteral("frmGen"));
                QCOMPARE(seen->parentWidget(), m_owner);
                verifyShows(seen, 16);
                release(label(seen), Qt::LeftButton);
                release(label(seen), Qt::LeftButton);
                verifyShows(seen, 18);
                checked = true;
                kvtest::click(kvtest::child<QPushButton>(seen, "Command1"));
            });
            kv::SuggestPassword(m_owner);
            QVERIFY(checked);
            QVERIFY2(seen.isNull(), "Close destroys the window");
        }
    }

private:
    QWidget* m_owner = nullptr;
};

QTEST_MAIN(TestFrmGen)
#include "tst_frm_gen.moc"

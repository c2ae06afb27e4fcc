#include "gui_test_support.h"
#include "tools/frm_gen.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString Suffix = QStringLiteral(" characters password.   Click to change length");

QLabel* label(QWidget* w)
{
    return kvtest::named<QLabel>(w, kv::generatorNames::LengthLabel);
}
QLineEdit* field(QWidget* w)
{
    return kvtest::named<QLineEdit>(w, kv::generatorNames::Password);
}
void release(QWidget* w, int button)
{
    QTest::mouseRelease(label(w), Qt::MouseButton(button));
}

// The label states the length, the field holds that many characters of the alphabet, all selected.
void verifyShows(QWidget* window, int length)
{
    QCOMPARE(label(window)->text(), QString::number(length) + Suffix);
    const QString password = field(window)->text();
    QCOMPARE(password.size(), length);
    // The digits 1 to 8 and the capitals, nothing else.
    QVERIFY2(QRegularExpression(QStringLiteral("^[1-8A-Z]*$")).match(password).hasMatch(), qPrintable(password));
    QCOMPARE(field(window)->selectedText(), password);
}

} // namespace

class TestFrmGen : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_owner = std::make_unique<QWidget>();
        m_owner->setGeometry(200, 150, 508, 377);
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
    }

    void opensAsAFixedToolWindowWithThePasswordSelected()
    {
        kv::FrmGen window(m_owner.get());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral(" Generated Password "));
        QCOMPARE(window.minimumSize(), QSize(304, 126));
        QCOMPARE(window.maximumSize(), QSize(304, 126));
        QVERIFY(window.isModal());
        QCOMPARE(window.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        // Centred on the owner, give or take the title bar Qt allows for before a window manager has
        // said how tall it is.
        const QPoint offCentre = window.geometry().center() - m_owner->geometry().center();
        QVERIFY2(qAbs(offCentre.x()) <= 12 && qAbs(offCentre.y()) <= 45, qPrintable(QDebug::toString(offCentre)));
        QCOMPARE(label(&window)->focusPolicy(), Qt::NoFocus);
        verifyShows(&window, 16);
        QCOMPARE(window.focusWidget(), field(&window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), field(&window));

        // No default or cancel button: Enter and Esc leave the window and its password alone.
        const QString password = field(&window)->text();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(field(&window), key);
        QVERIFY(window.isVisible());
        QCOMPARE(field(&window)->text(), password);
    }

    // Each row starts at `start` (reached by the user's own route when short; when 32,000 clicks long, by
    // writing the label, which is all the window remembers), presses and releases `button` on the label.
    void labelReleasesChangeTheLength_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("buttons");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("renewed");
        QTest::newRow("left") << 16 << QList<int>{Qt::LeftButton} << 17 << true;
        QTest::newRow("left twice") << 16 << QList<int>{Qt::LeftButton, Qt::LeftButton} << 18 << true;
        QTest::newRow("up, back down") << 16 << QList<int>{Qt::LeftButton, Qt::LeftButton, Qt::RightButton} << 17
                                       << true;
        QTest::newRow("middle renews") << 16 << QList<int>{Qt::MiddleButton} << 16 << true;
        QTest::newRow("right at 1") << 1 << QList<int>{Qt::RightButton} << 1 << false;
        QTest::newRow("left at 32766") << 32766 << QList<int>{Qt::LeftButton} << 32767 << true;
        QTest::newRow("left at 32767") << 32767 << QList<int>{Qt::LeftButton} << 32767 << false;
        QTest::newRow("middle at 32767") << 32767 << QList<int>{Qt::MiddleButton} << 32767 << true;
    }
    void labelReleasesChangeTheLength()
    {
        QFETCH(int, start);
        QFETCH(QList<int>, buttons);
        QFETCH(int, length);
        QFETCH(bool, renewed);
        kv::FrmGen window(m_owner.get());
        window.show();
        if (start < 16) {
            for (int i = 16; i > start; --i)
                release(&window, Qt::RightButton);
        } else if (start > 16) {
            label(&window)->setText(QString::number(start - 1) + Suffix);
            release(&window, Qt::LeftButton);
        }
        verifyShows(&window, start);

        for (const int button : buttons) {
            const QString before = field(&window)->text();
            QTest::mousePress(label(&window), Qt::MouseButton(button));
            QCOMPARE(field(&window)->text(), before); // a press alone does nothing
            release(&window, button);
            QCOMPARE(field(&window)->text() != before, renewed);
        }
        verifyShows(&window, length);
    }

    // Through the main window's entry point: modal, destroyed by Close, and the next opening is fresh.
    void eachOpeningStartsAtSixteenAndCloseDestroys()
    {
        for (int opening = 0; opening < 2; ++opening) {
            QPointer<QWidget> seen;
            QTimer::singleShot(0, this, [&] {
                seen = QApplication::activeModalWidget();
                const auto closeAnyway = qScopeGuard([&] { // whatever fails, the modal loop must end
                    if (seen)
                        seen->close();
                });
                QVERIFY(seen && seen->objectName() == kv::generatorNames::Window &&
                        seen->parentWidget() == m_owner.get());
                verifyShows(seen, 16);
                release(seen, Qt::LeftButton);
                release(seen, Qt::LeftButton);
                verifyShows(seen, 18);
                kvtest::click(kvtest::named<QPushButton>(seen, kv::generatorNames::Close));
            });
            kv::SuggestPassword(m_owner.get());
            QVERIFY2(seen.isNull(), "Close destroys the window");
        }
    }

private:
    std::unique_ptr<QWidget> m_owner;
};

QTEST_MAIN(TestFrmGen)
#include "tst_frm_gen.moc"

#include "gui_test_support.h"
#include "tools/frm_gen.h"
#include "tools/help.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

namespace {

std::filesystem::path pathOf(const QTemporaryDir& dir)
{
    return std::filesystem::path(dir.path().toStdU16String());
}

// A main window with a control or two, the help key watching it, and the handler calls caught.
struct Host
{
    QTemporaryDir folder;
    QWidget window;
    QWidget* frame1 = new QWidget(&window);
    QLineEdit* field = new QLineEdit(frame1);
    QPushButton* button = new QPushButton(QStringLiteral("Add"), &window);
    std::vector<std::pair<QString, QWidget*>> opened;

    explicit Host(bool withPage)
    {
        if (withPage) {
            QFile page(folder.filePath(QStringLiteral("help.html")));
            page.open(QIODevice::WriteOnly);
            page.write("<html></html>");
        }
        frame1->setGeometry(3, 12, 488, 128);
        field->setGeometry(152, 21, 321, 18);
        button->setGeometry(10, 200, 60, 24);
        new kv::HelpKey(&window, [this] {
            kv::OpenHelp(pathOf(folder), &window,
                         [this](const QString& target, QWidget* owner) { opened.emplace_back(target, owner); });
        });
        window.resize(508, 377);
        window.show();
    }
};

void sendKey(QWidget* to, QEvent::Type type, int key, bool autoRepeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(to, &event);
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void f1ReleaseAnywhereOpensThePageOnce_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("edit field in the frame") << QStringLiteral("field");
        QTest::newRow("toolbar button") << QStringLiteral("button");
        QTest::newRow("the window itself") << QStringLiteral("window");
    }
    void f1ReleaseAnywhereOpensThePageOnce()
    {
        QFETCH(QString, where);
        Host host(true);
        QVERIFY(QTest::qWaitForWindowExposed(&host.window));
        QWidget* target = where == QStringLiteral("field")    ? static_cast<QWidget*>(host.field)
                          : where == QStringLiteral("button") ? static_cast<QWidget*>(host.button)
                                                              : &host.window;
        target->setFocus();

        QTest::keyPress(target, Qt::Key_F1);
        QVERIFY2(host.opened.empty(), "the press alone opens nothing");
        QTest::keyRelease(target, Qt::Key_F1);
        QCOMPARE(host.opened.size(), std::size_t(1));
        QCOMPARE(std::filesystem::path(host.opened[0].first.toStdU16String()), pathOf(host.folder) / "help.html");
        QCOMPARE(host.opened[0].second, &host.window);

        QTest::keyClick(target, Qt::Key_F1);
        QCOMPARE(host.opened.size(), std::size_t(2));
    }

    void otherKeysAndRepeatsOpenNothing()
    {
        Host host(true);
        sendKey(host.field, QEvent::KeyRelease, Qt::Key_F2);
        sendKey(host.field, QEvent::KeyRelease, Qt::Key_Help);
        sendKey(host.field, QEvent::KeyRelease, Qt::Key_F1, true);
        QVERIFY(host.opened.empty());
    }

    void f1InTheGeneratorOpensNothing()
    {
        Host host(true);
        kv::FrmGen generator(&host.window);
        generator.show();
        auto* text = kvtest::child<QLineEdit>(&generator, "Text1");
        QTest::keyClick(text, Qt::Key_F1);
        QTest::keyClick(&generator, Qt::Key_F1);
        QVERIFY(host.opened.empty());
        QVERIFY(generator.isVisible());
    }

    void missingPageOpensNothing()
    {
        Host host(false);
        QTest::keyClick(host.field, Qt::Key_F1);
        kv::OpenHelp(pathOf(host.folder), &host.window,
                     [&](const QString& target, QWidget* owner) { host.opened.emplace_back(target, owner); });
        QVERIFY(host.opened.empty());
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"

#include "gui_test_support.h"
#include "tools/frm_gen.h"
#include "tools/help.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <utility>
#include <vector>

namespace {

// A main window with a field in a frame and a button, the help key watching it, the handler's calls caught.
struct Host
{
    QTemporaryDir folder;
    std::filesystem::path programFolder{folder.path().toStdU16String()};
    QWidget window;
    QWidget* frame1 = new QWidget(&window);
    QLineEdit* field = new QLineEdit(frame1);
    QPushButton* button = new QPushButton(QStringLiteral("Add"), &window);
    std::vector<std::pair<QString, QWidget*>> opened;

    explicit Host(bool withPage)
    {
        QFile page(folder.filePath(QStringLiteral("help.html")));
        if (withPage && (!page.open(QIODevice::WriteOnly) || page.write("<html></html>") < 0))
            qFatal("cannot write the help page");
        button->move(10, 200);
        QObject::connect(new kv::HelpKey(&window), &kv::HelpKey::helpAsked, &window, [this] { openHelp(); });
        window.show();
    }
    void openHelp()
    {
        kv::OpenHelp(programFolder, &window,
                     [this](const QString& t, QWidget* owner) { opened.emplace_back(t, owner); });
    }
};

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    // Released, not pressed; once per release, whichever control has the focus.
    void f1ReleaseAnywhereOpensThePageOnce_data()
    {
        QTest::addColumn<int>("where");
        QTest::newRow("edit field in the frame") << 0;
        QTest::newRow("button") << 1;
        QTest::newRow("the window itself") << 2;
    }
    void f1ReleaseAnywhereOpensThePageOnce()
    {
        QFETCH(int, where);
        Host host(true);
        QWidget* target = std::array<QWidget*, 3>{host.field, host.button, &host.window}[where];
        target->setFocus();

        QTest::keyPress(target, Qt::Key_F1);
        QVERIFY(host.opened.empty());
        QTest::keyRelease(target, Qt::Key_F1);
        QCOMPARE(host.opened.size(), std::size_t(1));
        QCOMPARE(std::filesystem::path(host.opened[0].first.toStdU16String()), host.programFolder / "help.html");
        QCOMPARE(host.opened[0].second, &host.window);
        QTest::keyClick(target, Qt::Key_F1);
        QCOMPARE(host.opened.size(), std::size_t(2));
    }

    void otherKeysRepeatsAndOtherWindowsOpenNothing()
    {
        Host host(true);
        for (const auto& [key, repeat] : {std::pair{Qt::Key_F2, false}, {Qt::Key_Help, false}, {Qt::Key_F1, true}}) {
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(), repeat);
            QApplication::sendEvent(host.field, &release);
        }
        kv::FrmGen generator(&host.window);
        generator.show();
        QTest::keyClick(kvtest::named<QLineEdit>(&generator, kv::generatorNames::Password), Qt::Key_F1);
        QTest::keyClick(&generator, Qt::Key_F1);
        QVERIFY(host.opened.empty());
    }

    // Mended fault: a held F1 repeats as release and press pairs, which the platform marks as repeats
    // only when it sees both at once. Unmarked, each release opened the page again.
    void holdingF1OpensThePageOnce_data()
    {
        QTest::addColumn<bool>("marked");
        QTest::newRow("repeats marked") << true;
        QTest::newRow("repeats unmarked, release and press at one instant") << false;
    }
    void holdingF1OpensThePageOnce()
    {
        QFETCH(bool, marked);
        Host host(true);
        host.field->setFocus();
        const auto send = [&](QEvent::Type type, quint64 time, bool repeat) {
            QKeyEvent key(type, Qt::Key_F1, Qt::NoModifier, QString(), repeat);
            key.setTimestamp(time);
            QApplication::sendEvent(host.field, &key);
        };
        send(QEvent::KeyPress, 1000, false);
        for (quint64 time = 1500; time < 2000; time += 40) {
            send(QEvent::KeyRelease, time, marked);
            send(QEvent::KeyPress, time, marked);
        }
        send(QEvent::KeyRelease, 2100, false);
        QCOMPARE(host.opened.size(), std::size_t(1));
        // The next press is the user's own again.
        send(QEvent::KeyPress, 3000, false);
        send(QEvent::KeyRelease, 3100, false);
        QCOMPARE(host.opened.size(), std::size_t(2));
    }

    void missingPageOpensNothing()
    {
        Host host(false);
        QTest::keyClick(host.field, Qt::Key_F1);
        host.openHelp();
        QVERIFY(host.opened.empty());
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"

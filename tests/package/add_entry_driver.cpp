// Loaded into the unpacked program with LD_PRELOAD, so the test drives the very
// executable the package ships and not a rebuild of it. Once the main window is
// up it types an entry and clicks Add as a person would, then quits. Exit codes:
// 0 the click was made, 3 a control was missing, 4 the window never came.

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace {

QWidget* visibleMainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("frmScrn") && widget->isVisible())
            return widget;
    return nullptr;
}

void addOneEntry(QWidget* window)
{
    auto* service = window->findChild<QLineEdit*>(QStringLiteral("Text1_1"));
    auto* username = window->findChild<QLineEdit*>(QStringLiteral("Text1_2"));
    auto* password = window->findChild<QLineEdit*>(QStringLiteral("Text1_4"));
    auto* add = window->findChild<QToolButton*>(QStringLiteral("Toolbar1_1"));
    if (service == nullptr || username == nullptr || password == nullptr || add == nullptr) {
        QCoreApplication::exit(3);
        return;
    }
    QTest::keyClicks(service, QStringLiteral("Package check"));
    QTest::keyClicks(username, QStringLiteral("someone"));
    QTest::keyClicks(password, QStringLiteral("not-a-secret"));
    QTest::mouseClick(add, Qt::LeftButton);
    // The Add has written its line before the click returns; quit on the next turn
    // so any message it posted is handled first.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

// Runs inside QApplication's constructor, before main has built the window, so it
// only starts a timer that waits for the window to be shown.
void startDriving()
{
    auto* poll = new QTimer(qApp);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, ticks] {
        if (QWidget* window = visibleMainWindow()) {
            poll->stop();
            addOneEntry(window);
        } else if (++*ticks > 200) {
            poll->stop();
            QCoreApplication::exit(4);
        }
    });
    poll->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriving)

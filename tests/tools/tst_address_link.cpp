#include "gui_test_support.h"
#include "tools/address_link.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include <memory>
#include <utility>
#include <vector>

namespace {

const QColor PureBlue(0, 0, 255);
const QString Refused = QStringLiteral("Only web and mail addresses are opened");

// The part of the main window the link lives in: the edit frame with the Address field, another field,
// a label that passes moves on to the frame, and a drawn shape the pointer goes through.
struct Host
{
    // The window's cursor lives on a widget inside a top-level here: Qt leaves a top-level's cursor
    // marked as set even after unsetCursor(), which would hide whether the plain state unsets it.
    QWidget top;
    QWidget* window = new QWidget(&top);
    QWidget* frame1 = new QWidget(window);
    QLineEdit* address = new QLineEdit(frame1);
    QLineEdit* service = new QLineEdit(frame1);
    QLabel* label = new QLabel(QStringLiteral("Address"), frame1);
    QWidget* shape = new QWidget(frame1);
    QMenu schemes;
    std::array<QAction*, 3> items{schemes.addAction(QStringLiteral("HTTP")), schemes.addAction(QStringLiteral("HTTPS")),
                                  schemes.addAction(QStringLiteral("FTP"))};
    std::vector<std::pair<QString, QWidget*>> opened;
    QStringList messages;
    kv::AddressLink* link;

    Host()
    {
        window->setObjectName(QStringLiteral("frmScrn"));
        window->resize(508, 377);
        top.resize(508, 377);
        frame1->setGeometry(3, 12, 488, 128);
        address->setGeometry(152, 21, 321, 18);
        service->setGeometry(23, 60, 147, 18);
        label->setGeometry(153, 7, 101, 11);
        label->setMouseTracking(true);
        shape->setGeometry(148, 19, 330, 23);
        shape->setAttribute(Qt::WA_TransparentForMouseEvents);
        shape->lower();
        link = new kv::AddressLink({address, frame1, window, items},
                                   [this](const QString& t, QWidget* owner) { opened.emplace_back(t, owner); });
        QObject::connect(link, &kv::AddressLink::messageShown, window, [this](const QString& m) { messages << m; });
        top.move(100, 100);
        top.show();
    }

    // The pointer goes where a real one would: the move enters through the window, which hands it to
    // whatever lies under the point. It comes from a corner of the window outside the frame, as a move to
    // where the pointer already is would not count.
    void pointTo(QWidget* widget, QPoint at)
    {
        QTest::mouseMove(top.windowHandle(), QPoint(top.width() - 2, top.height() - 2));
        QTest::mouseMove(top.windowHandle(), widget->mapTo(&top, at));
    }
    void hoverAddress() { pointTo(address, QPoint(40, 9)); }
    // A point of the frame with no control on it.
    void moveOverFrame() { pointTo(frame1, QPoint(5, 120)); }
    void release(Qt::MouseButton button) { QTest::mouseRelease(address, button, Qt::NoModifier, QPoint(40, 9)); }
    QList<bool> checks() const { return {items[0]->isChecked(), items[1]->isChecked(), items[2]->isChecked()}; }
};

void verifyLook(Host& host, bool link)
{
    QCOMPARE(host.link->isLink(), link);
    QCOMPARE(host.address->font().underline(), link);
    const QColor text = host.address->palette().color(QPalette::Active, QPalette::Text);
    QCOMPARE(text == PureBlue, link);
    if (!link)
        QCOMPARE(text, QApplication::palette(host.address).color(QPalette::Active, QPalette::Text));
    QCOMPARE(host.window->testAttribute(Qt::WA_SetCursor), link);
    if (link)
        QCOMPARE(host.window->cursor().shape(), Qt::ArrowCursor);
}

} // namespace

class TestAddressLink : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<Host>();
        QVERIFY(QTest::qWaitForWindowExposed(&m_host->top));
    }
    void cleanup() { m_host.reset(); }

    void startsWithHttpAndPlain()
    {
        QCOMPARE(m_host->checks(), (QList<bool>{true, false, false}));
        verifyLook(*m_host, false);
        m_host->link->SetAddressPrefix();
        QCOMPARE(m_host->address->text(), QStringLiteral("http://"));
    }

    void schemeChoiceReplacesTheAddress_data()
    {
        QTest::addColumn<QList<int>>("choices");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("https") << QList<int>{1} << QStringLiteral("https://");
        QTest::newRow("https, ftp") << QList<int>{1, 2} << QStringLiteral("ftp://");
        QTest::newRow("ftp, http") << QList<int>{2, 0} << QStringLiteral("http://");
        QTest::newRow("the checked one again") << QList<int>{1, 1} << QStringLiteral("https://");
    }
    void schemeChoiceReplacesTheAddress()
    {
        QFETCH(QList<int>, choices);
        QFETCH(QString, prefix);
        const QStringList prefixes{QStringLiteral("http://"), QStringLiteral("https://"), QStringLiteral("ftp://")};
        for (const int choice : choices) {
            m_host->address->setText(QStringLiteral("http://www.example.com/login"));
            m_host->items[choice]->trigger();
            QCOMPARE(m_host->checks(), (QList<bool>{choice == 0, choice == 1, choice == 2}));
            QCOMPARE(m_host->address->text(), prefixes[choice]);
        }
        m_host->address->clear();
        m_host->link->SetAddressPrefix();
        QCOMPARE(m_host->address->text(), prefix);
    }

    void hoverTurnsOnlyAddressesIntoLinks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("scheme");
        QTest::addColumn<bool>("link");
        QTest::newRow("three after the dot") << QStringLiteral("a.bcd") << 0 << true;
        QTest::newRow("two after the dot") << QStringLiteral("example.co") << 0 << false;
        QTest::newRow("counted from the first dot") << QStringLiteral("example.c.d") << 0 << true;
        QTest::newRow("no dot") << QStringLiteral("http://localhost/login") << 0 << false;
        QTest::newRow("bare prefix") << QStringLiteral("http://") << 0 << false;
        QTest::newRow("bare prefix, other scheme") << QStringLiteral("ftp://") << 1 << false;
        QTest::newRow("full address") << QStringLiteral("https://www.example.com") << 1 << true;
    }
    void hoverTurnsOnlyAddressesIntoLinks()
    {
        QFETCH(QString, text);
        QFETCH(int, scheme);
        QFETCH(bool, link);
        m_host->items[scheme]->trigger();
        m_host->address->setText(text);
        m_host->hoverAddress();
        verifyLook(*m_host, link);
        m_host->pointTo(m_host->address, QPoint(80, 9));
        verifyLook(*m_host, link);
    }

    // Only a left release on a link opens, and only a web or mail address: a tampered data file must not
    // be able to start a program or open a document through a click on its address. An address typed
    // without a scheme opens as the platform's shell would take it, as http.
    void releaseOpensOnlyWebAddressesShownAsLinks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hovered");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("opened"); // what the handler gets; empty: nothing
        QTest::addColumn<bool>("refused");
        const QString web = QStringLiteral("https://mail.example.org/?a=1 b");
        const int left = Qt::LeftButton;
        QTest::newRow("left on the link") << web << true << left << web << false;
        QTest::newRow("right on the link") << web << true << int(Qt::RightButton) << QString() << false;
        QTest::newRow("middle on the link") << web << true << int(Qt::MiddleButton) << QString() << false;
        QTest::newRow("left, plain") << web << false << left << QString() << false;
        QTest::newRow("left, not an address") << QStringLiteral("https://a.bc") << true << left << QString() << false;
        QTest::newRow("ftp, mixed case") << QStringLiteral("Ftp://files.example.org/a.zip") << true << left
                                         << QStringLiteral("Ftp://files.example.org/a.zip") << false;
        QTest::newRow("mail") << QStringLiteral("mailto:someone@example.com") << true << left
                              << QStringLiteral("mailto:someone@example.com") << false;
        QTest::newRow("no scheme") << QStringLiteral("www.example.com") << true << left
                                   << QStringLiteral("http://www.example.com") << false;
        QTest::newRow("no scheme, port and path") << QStringLiteral("intra.example:8080/a?b=c") << true << left
                                                  << QStringLiteral("http://intra.example:8080/a?b=c") << false;
        QTest::newRow("local file") << QStringLiteral("file:///home/user/run.desktop") << true << left << QString()
                                    << true;
        QTest::newRow("program path") << QStringLiteral("C:\\Windows\\System32\\cmd.exe") << true << left << QString()
                                      << true;
        QTest::newRow("share path") << QStringLiteral("\\\\server\\share\\run.exe") << true << left << QString()
                                    << true;
        QTest::newRow("relative path") << QStringLiteral("../bin/run.sh") << true << left << QString() << true;
        QTest::newRow("script") << QStringLiteral("javascript:alert(document.cookie)") << true << left << QString()
                                << true;
        QTest::newRow("no scheme, shell characters")
            << QStringLiteral("www.example.com&calc.exe") << true << left << QString() << true;
        QTest::newRow("no scheme, blank") << QStringLiteral("run.exe --all") << true << left << QString() << true;
        QTest::newRow("blank before") << QStringLiteral(" http://www.example.com") << true << left << QString() << true;
        QTest::newRow("no slashes") << QStringLiteral("http:www.example.com") << true << left << QString() << true;
    }
    void releaseOpensOnlyWebAddressesShownAsLinks()
    {
        QFETCH(QString, text);
        QFETCH(bool, hovered);
        QFETCH(int, button);
        QFETCH(QString, opened);
        QFETCH(bool, refused);
        m_host->address->setText(text);
        if (hovered)
            m_host->hoverAddress();
        QTest::mousePress(m_host->address, Qt::MouseButton(button), Qt::NoModifier, QPoint(40, 9));
        m_host->release(Qt::MouseButton(button));
        QCOMPARE(m_host->opened.size(), std::size_t(opened.isEmpty() ? 0 : 1));
        if (!opened.isEmpty())
            QVERIFY(m_host->opened[0] == std::make_pair(opened, m_host->window));
        QCOMPARE(m_host->messages, refused ? QStringList{Refused} : QStringList());
        if (refused)
            QVERIFY2(m_host->link->isLink(), "a refused address keeps the link look");
    }

    // The link outlives edits and moves over other controls; only the frame's own surface ends it.
    void linkStaysUntilThePointerCrossesTheFrame()
    {
        m_host->address->setText(QStringLiteral("www.example.com"));
        m_host->hoverAddress();
        verifyLook(*m_host, true);

        m_host->address->setFocus();
        m_host->address->selectAll();
        QTest::keyClicks(m_host->address, QStringLiteral("ftp://x"));
        m_host->pointTo(m_host->service, QPoint(5, 5));
        m_host->pointTo(m_host->label, QPoint(5, 5)); // ignored by the label, passed on to the frame
        verifyLook(*m_host, true);
        m_host->release(Qt::LeftButton);
        QCOMPARE(m_host->opened.size(), std::size_t(1));
        QCOMPARE(m_host->opened[0].first, QStringLiteral("ftp://x"));

        m_host->address->clear();
        m_host->release(Qt::LeftButton);
        QCOMPARE(m_host->opened.size(), std::size_t(1));

        m_host->address->setText(QStringLiteral("www.example.com"));
        m_host->pointTo(m_host->frame1, m_host->shape->geometry().topLeft() + QPoint(1, 1));
        verifyLook(*m_host, false);
        m_host->release(Qt::LeftButton);
        QCOMPARE(m_host->opened.size(), std::size_t(1));
        m_host->moveOverFrame();
        verifyLook(*m_host, false);
    }

private:
    std::unique_ptr<Host> m_host;
};

QTEST_MAIN(TestAddressLink)
#include "tst_address_link.moc"

#include "tools/clipboard_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>
#include <memory>

class TestClipboardCopy : public QObject
{
    Q_OBJECT

private slots:
    void putsExactlyTheTextAndMarksOnlySecrets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("secret");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("empty password") << QString() << true;
        QTest::newRow("user name with blanks kept") << QStringLiteral("  jörg smith ") << false;
        QTest::newRow("password") << QStringLiteral("K3Y|ST€AD p@ss") << true;
        QTest::newRow("address") << QStringLiteral("http://") << false;
    }
    void putsExactlyTheTextAndMarksOnlySecrets()
    {
        QFETCH(QString, text);
        QFETCH(bool, secret);
        // Something else first, marked, so a stale text or a stale mark would show.
        QVERIFY(kv::CopyToClipboard(QStringLiteral("previous"), true));

        QVERIFY(kv::CopyToClipboard(text, secret));

        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QVERIFY(data->hasText());
        QCOMPARE(data->text(), text);
        QCOMPARE(data->data(QStringLiteral("text/plain")).size(), text.toUtf8().size());
#if defined(Q_OS_LINUX)
        const QString hint = QStringLiteral("x-kde-passwordManagerHint");
        QCOMPARE(data->hasFormat(hint), secret);
        if (secret)
            QCOMPARE(data->data(hint), QByteArrayLiteral("secret"));
#endif
    }

    void sayNothingWhenTheCopySucceeds()
    {
        kv::ClipboardCopier copier(std::chrono::seconds(30));
        QSignalSpy messages(&copier, &kv::ClipboardCopier::messageShown);
        copier.copyPassword(QStringLiteral("pw"));
        QVERIFY(messages.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("pw"));
    }

    void aCopiedPasswordGoesOnlyWhileStillOurs_data()
    {
        QTest::addColumn<QString>("since");  // what reaches the clipboard after the password copy
        QTest::addColumn<QString>("ending"); // "wait", "clearNow" or "gone" (the clearer destroyed)
        QTest::addColumn<QString>("left");   // the clipboard's text at the end
        const QString pw = QStringLiteral("K3Y|ST€AD p@ss");
        QTest::newRow("nothing, the wait runs out") << QString() << "wait" << QString();
        QTest::newRow("nothing, at once") << QString() << "clearNow" << QString();
        QTest::newRow("nothing, the clearer goes") << QString() << "gone" << QString();
        QTest::newRow("our user name copy, the wait runs out") << "user"
                                                               << "wait"
                                                               << "ann";
        QTest::newRow("our user name copy, at once") << "user"
                                                     << "clearNow"
                                                     << "ann";
        // Same text, but set by someone else: not our copy any more.
        QTest::newRow("the same text from elsewhere, the wait runs out") << "elsewhere"
                                                                         << "wait" << pw;
        QTest::newRow("the same text from elsewhere, the clearer goes") << "elsewhere"
                                                                        << "gone" << pw;
        QTest::newRow("emptied by someone else") << "emptied"
                                                 << "wait" << QString();
        QTest::newRow("a second password copy, the wait runs out") << "password"
                                                                   << "wait" << QString();
    }
    void aCopiedPasswordGoesOnlyWhileStillOurs()
    {
        QFETCH(QString, since);
        QFETCH(QString, ending);
        QFETCH(QString, left);
        const QString pw = QStringLiteral("K3Y|ST€AD p@ss");
        const std::chrono::milliseconds delay(50);
        QClipboard* clipboard = QGuiApplication::clipboard();
        auto clearer = std::make_unique<kv::ClipboardCopier>(delay);
        QSignalSpy messages(clearer.get(), &kv::ClipboardCopier::messageShown);

        clearer->copyPassword(pw);
        QCOMPARE(clipboard->text(), pw);
#if defined(Q_OS_LINUX)
        QVERIFY(clipboard->mimeData()->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
#endif
        if (since == "user")
            QVERIFY(kv::CopyToClipboard(QStringLiteral("ann"), false));
        else if (since == "elsewhere")
            clipboard->setText(pw);
        else if (since == "emptied")
            clipboard->clear();
        else if (since == "password")
            clearer->copyPassword(pw);

        if (ending == "wait")
            QTest::qWait(int(4 * delay.count()));
        else if (ending == "clearNow")
            clearer->clearNow();
        else
            clearer.reset();
        QTRY_COMPARE(clipboard->text(), left);
        QVERIFY(messages.isEmpty());
    }
};

QTEST_MAIN(TestClipboardCopy)
#include "tst_clipboard_copy.moc"

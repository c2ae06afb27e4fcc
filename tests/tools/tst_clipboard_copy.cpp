#include "tools/clipboard_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

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
        QStringList messages;
        kv::CopyFieldText(QStringLiteral("pw"), true, [&](const QString& m) { messages << m; });
        QVERIFY(messages.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("pw"));
    }
};

QTEST_MAIN(TestClipboardCopy)
#include "tst_clipboard_copy.moc"

#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/PacketCollector.h"

#include "linuxhost/feeds/AprsIsSource.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

const QByteArray EndLine("END>APRS:>end of test");

// The back-off delays announced so far, in order.
QList<int> announcedDelays(const LogCapture &log)
{
    static const QRegularExpression retry(QStringLiteral("retrying in (\\d+) s$"));
    QList<int> delays;
    for (const QString &message : log.messages()) {
        const QRegularExpressionMatch match = retry.match(message);
        if (match.hasMatch())
            delays << match.captured(1).toInt();
    }
    return delays;
}

}  // namespace

class TestAprsIsSource : public QObject
{
    Q_OBJECT
private slots:
    void loginLine_data();
    void loginLine();
    void logsInOnConnect();
    void splitsLines_data();
    void splitsLines();
    void refusedConnectionBacksOff();
    void lostConnectionReconnects();
    void greetingAndCloseBacksOff();
    void silentLinkIsDeadAndReconnects();
    void keepAliveCommentsKeepTheLink();
    void stopEndsTheLink();
};

void TestAprsIsSource::loginLine_data()
{
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<QString>("passcode");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QByteArray>("line");

    QTest::addRow("receive only, no filter") << "N0CALL"
                                             << "-1"
                                             << "" << QByteArray("user N0CALL pass -1 vers Keldan 1.1.1\r\n");
    QTest::addRow("with a filter") << "N0CALL-10"
                                   << "12345"
                                   << "r/51.5/-0.1/100 t/p"
                                   << QByteArray(
                                          "user N0CALL-10 pass 12345 vers Keldan 1.1.1 filter r/51.5/-0.1/100 t/p\r\n");
}

void TestAprsIsSource::loginLine()
{
    QFETCH(QString, callsign);
    QFETCH(QString, passcode);
    QFETCH(QString, filter);
    QFETCH(QByteArray, line);
    QCOMPARE(AprsIsSource::loginLine(callsign, passcode, filter), line);
}

void TestAprsIsSource::logsInOnConnect()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AprsIsSource source(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("N0CALL"), QStringLiteral("-1"),
        QStringLiteral("m/50"));
    source.start();
    QTRY_COMPARE(server.received(0), QByteArray("user N0CALL pass -1 vers Keldan 1.1.1 filter m/50\r\n"));
    QVERIFY(source.isLinkUp());
    QCOMPARE(log.messages(), QStringList {QStringLiteral("APRS-IS 127.0.0.1:%1 connected").arg(server.port())});
}

void TestAprsIsSource::splitsLines_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<QList<QByteArray>>("packets");
    QTest::addColumn<int>("overlong");

    QTest::addRow("CR LF line ends") << QList<QByteArray> {"A>APRS:>one\r\nB>APRS:>two\r\n"}
                                     << QList<QByteArray> {"A>APRS:>one", "B>APRS:>two"} << 0;
    QTest::addRow("LF line ends") << QList<QByteArray> {"A>APRS:>one\nB>APRS:>two\n"}
                                  << QList<QByteArray> {"A>APRS:>one", "B>APRS:>two"} << 0;
    QTest::addRow("server comments skipped")
        << QList<QByteArray> {"# aprsc 2.1.14-g5e22b37\r\n# logresp N0CALL unverified, server T2TEST\r\n"
                              "A>APRS,TCPIP*,qAC,T2TEST:>one\r\n# 27 Jan 2026 10:00:00 GMT T2TEST 127.0.0.1:14580\r\n"}
        << QList<QByteArray> {"A>APRS,TCPIP*,qAC,T2TEST:>one"} << 0;
    QTest::addRow("line split across writes") << QList<QByteArray> {"A>AP", "RS:>o", "ne\r", "\nB>APRS:>two\r\n"}
                                              << QList<QByteArray> {"A>APRS:>one", "B>APRS:>two"} << 0;
    QTest::addRow("CR and LF in separate writes")
        << QList<QByteArray> {"A>APRS:>one\r", "\n"} << QList<QByteArray> {"A>APRS:>one"} << 0;
    QTest::addRow("blank lines skipped") << QList<QByteArray> {"\r\n\nA>APRS:>one\r\n\r\n"}
                                         << QList<QByteArray> {"A>APRS:>one"} << 0;
    QTest::addRow("CR alone ends a line")
        << QList<QByteArray> {"A>APRS:>one\rB>APRS:>two\r"} << QList<QByteArray> {"A>APRS:>one", "B>APRS:>two"} << 0;
    QTest::addRow("overlong line dropped, next kept")
        << QList<QByteArray> {"A>APRS:>" + QByteArray(AprsIsSource::MaxLineBytes, 'x'), QByteArray(100, 'y') + "\n",
               "B>APRS:>two\n"}
        << QList<QByteArray> {"B>APRS:>two"} << 1;
    QTest::addRow("overlong line in one write dropped")
        << QList<QByteArray> {"A>APRS:>" + QByteArray(AprsIsSource::MaxLineBytes - 7, 'x') + "\r\nB>APRS:>two\r\n"}
        << QList<QByteArray> {"B>APRS:>two"} << 1;
    QTest::addRow("line of exactly the longest length kept")
        << QList<QByteArray> {"A>APRS:>" + QByteArray(AprsIsSource::MaxLineBytes - 8, 'x') + "\r\n"}
        << QList<QByteArray> {"A>APRS:>" + QByteArray(AprsIsSource::MaxLineBytes - 8, 'x')} << 0;
    QTest::addRow("Latin-1 and control bytes passed through")
        << QList<QByteArray> {"A>APRS:>caf\xe9\x1d\r\n"} << QList<QByteArray> {"A>APRS:>caf\xe9\x1d"} << 0;
}

void TestAprsIsSource::splitsLines()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QList<QByteArray>, packets);
    QFETCH(int, overlong);

    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AprsIsSource source(
        QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("N0CALL"), QStringLiteral("-1"), QString());
    PacketCollector collector(source);
    source.start();
    QTRY_VERIFY(!server.received(0).isEmpty());
    for (const QByteArray &write : writes) {
        server.send(write);
        // Separate reads on the other side, as far as TCP allows.
        QTest::qWait(5);
    }
    server.send(EndLine + "\r\n");
    QTRY_VERIFY(collector.contains(EndLine));
    packets << EndLine;
    QCOMPARE(collector.lines(), packets);
    for (const PacketCollector::Packet &packet : collector.packets())
        QCOMPARE(packet.radioPort, 0);
    QCOMPARE(source.overlongDropped(), overlong);
}

void TestAprsIsSource::refusedConnectionBacksOff()
{
    LogCapture log;
    const quint16 port = LoopbackServer::freePort();
    AprsIsSource source(QStringLiteral("127.0.0.1"), port, QStringLiteral("N0CALL"), QStringLiteral("-1"), QString());
    source.setMillisecondsPerSecond(1);
    source.start();
    QTRY_VERIFY(announcedDelays(log).size() >= 9);
    QCOMPARE(announcedDelays(log).first(9), (QList<int> {1, 2, 4, 8, 16, 32, 60, 60, 60}));
    QCOMPARE(log.messages().first(), QStringLiteral("APRS-IS 127.0.0.1:%1 refused, retrying in 1 s").arg(port));

    // Once the server is there, the next attempt connects and logs in.
    source.setMillisecondsPerSecond(5);
    LoopbackServer server;
    QVERIFY(server.listen(port));
    QTRY_VERIFY_WITH_TIMEOUT(server.received(0).startsWith("user N0CALL"), 10000);
    QTRY_VERIFY(log.messages().contains(QStringLiteral("APRS-IS 127.0.0.1:%1 connected").arg(port)));
}

void TestAprsIsSource::lostConnectionReconnects()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AprsIsSource source(
        QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("N0CALL"), QStringLiteral("-1"), QString());
    source.setMillisecondsPerSecond(10);
    PacketCollector collector(source);
    QSignalSpy established(&source, &TcpFeedSource::linkEstablished);
    source.start();
    QTRY_COMPARE(established.size(), 1);

    // A half-sent line at the drop must not join the next connection's data.
    server.send("A>APRS:>one\r\nB>APRS:>half");
    QTRY_VERIFY(collector.contains("A>APRS:>one"));
    server.dropLast();
    QTRY_COMPARE(server.connectionCount(), 2);
    QTRY_VERIFY(server.received(1).startsWith("user N0CALL pass -1"));
    server.send("C>APRS:>three\r\n");
    QTRY_VERIFY(collector.contains("C>APRS:>three"));
    QCOMPARE(collector.lines(), (QList<QByteArray> {"A>APRS:>one", "C>APRS:>three"}));

    // That link delivered, so the wait starts again at 1 s; links that give
    // nothing before they drop make it grow.
    QCOMPARE(announcedDelays(log), QList<int> {1});
    QVERIFY(log.messages().at(1).startsWith(QStringLiteral("APRS-IS 127.0.0.1:%1 lost (").arg(server.port())));
    server.dropLast();
    QTRY_COMPARE(server.connectionCount(), 3);
    server.dropLast();
    QTRY_COMPARE(server.connectionCount(), 4);
    server.dropLast();
    QTRY_COMPARE(server.connectionCount(), 5);
    QCOMPARE(announcedDelays(log), (QList<int> {1, 1, 2, 4}));
}

// A full or refusing server greets and hangs up: that link brought no packet,
// so the wait keeps growing instead of hammering the server every second.
void TestAprsIsSource::greetingAndCloseBacksOff()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AprsIsSource source(
        QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("N0CALL"), QStringLiteral("-1"), QString());
    source.setMillisecondsPerSecond(5);
    source.start();
    for (int i = 1; i <= 4; ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), i, 10000);
        QTRY_VERIFY(!server.received(i - 1).isEmpty());
        server.send("# aprsc 2.1.14-g5e22b37 server full\r\n");
        server.closeLast();
    }
    QTRY_COMPARE(announcedDelays(log).size(), 4);
    QCOMPARE(announcedDelays(log), (QList<int> {1, 2, 4, 8}));
}

void TestAprsIsSource::silentLinkIsDeadAndReconnects()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AprsIsSource source(
        QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("N0CALL"), QStringLiteral("-1"), QString());
    source.setMillisecondsPerSecond(5);  // 120 s of silence take 600 ms
    source.start();
    QTRY_COMPARE(server.connectionCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 2, 10000);
    QVERIFY(log.messages().contains(
        QStringLiteral("APRS-IS 127.0.0.1:%1 no data for 120 s, retrying in 1 s").arg(server.port())));
    QTRY_VERIFY(server.received(1).startsWith("user N0CALL"));
}

void TestAprsIsSource::keepAliveCommentsKeepTheLink()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AprsIsSource source(
        QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("N0CALL"), QStringLiteral("-1"), QString());
    source.setMillisecondsPerSecond(20);  // 120 s of silence take 2.4 s
    PacketCollector collector(source);
    source.start();
    QTRY_COMPARE(server.connectionCount(), 1);
    // Six seconds of keep-alives every 0.3 s: more than twice the dead-link time.
    for (int i = 0; i < 20; ++i) {
        server.send("# keepalive\r\n");
        QTest::qWait(300);
    }
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(source.isLinkUp());
    QVERIFY(collector.packets().isEmpty());
}

void TestAprsIsSource::stopEndsTheLink()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AprsIsSource source(
        QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("N0CALL"), QStringLiteral("-1"), QString());
    source.setMillisecondsPerSecond(1);
    source.start();
    QTRY_COMPARE(server.connectionCount(), 1);
    QTRY_VERIFY(server.last()->state() == QAbstractSocket::ConnectedState);
    source.stop();
    QTRY_COMPARE(server.last()->state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(100);
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(announcedDelays(log).isEmpty());
}

QTEST_GUILESS_MAIN(TestAprsIsSource)
#include "tst_aprsissource.moc"

#include "support/Ax25Frames.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/PacketCollector.h"

#include "linuxhost/feeds/KissTcpSource.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

// A KISS data frame around a UI frame, with the bytes that need it escaped.
QByteArray kissFrame(int port, const QByteArray &ax25)
{
    QByteArray out;
    out.append(char(0xC0));
    out.append(char(port << 4));
    for (const char byte : ax25) {
        if (byte == char(0xC0))
            out.append("\xDB\xDC", 2);
        else if (byte == char(0xDB))
            out.append("\xDB\xDD", 2);
        else
            out.append(byte);
    }
    out.append(char(0xC0));
    return out;
}

QByteArray smoketestStream()
{
    QFile file(QStringLiteral(KELDAN_TEST_DATA "/kiss-frame-libfap-smoketest.hex"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QByteArray::fromHex(file.readAll().simplified().replace(' ', ""));
}

}  // namespace

class TestKissTcpSource : public QObject
{
    Q_OBJECT
private slots:
    void deliversFrames_data();
    void deliversFrames();
    void refusedThenConnects();
    void partialFrameDoesNotSurviveReconnect();
};

void TestKissTcpSource::deliversFrames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("chunkBytes");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<int>>("ports");

    const QByteArray position = kissFrame(0,
        ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 9) + ax25Address("WIDE1", 0, false, true)
                + ax25Address("WIDE2", 1, true),
            "!4903.50N/07201.75W>Test"));
    const QByteArray status =
        kissFrame(2, ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 1, true), ">\xC0\xDB status"));
    const QByteArray connected = kissFrame(0, ax25Address("N0CALL", 0) + ax25Address("N1CALL", 0, true) + char(0x3F));
    const QByteArray txDelay = QByteArray("\xC0\x01\x32\xC0", 4);

    QTest::addRow("libfap smoke test frame")
        << smoketestStream() << 1000
        << QList<QByteArray> {"OH3RBE-1>APND0Z,WIDE1-1:;OH3NE    *111111z6129.78N/02343.89EyClub mtgs Mo/Th 18-> "
                              "145.750- D-STAR 144.650 APCO P25 434.575 -2.0 NAC293"}
        << QList<int> {1};
    QTest::addRow("frames a byte at a time, ports 1 and 3")
        << position + status << 1
        << QList<QByteArray> {"N0CALL-9>APRS,WIDE1*,WIDE2-1:!4903.50N/07201.75W>Test", "N0CALL-1>APRS:>\xC0\xDB status"}
        << QList<int> {1, 3};
    QTest::addRow("connected-mode frame and TX delay skipped")
        << connected + txDelay + position << 7
        << QList<QByteArray> {"N0CALL-9>APRS,WIDE1*,WIDE2-1:!4903.50N/07201.75W>Test"} << QList<int> {1};
}

void TestKissTcpSource::deliversFrames()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, chunkBytes);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<int>, ports);
    QVERIFY(!stream.isEmpty());

    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    KissTcpSource source(QStringLiteral("127.0.0.1"), server.port());
    PacketCollector collector(source);
    QSignalSpy established(&source, &TcpFeedSource::linkEstablished);
    source.start();
    QTRY_COMPARE(server.connectionCount(), 1);
    QTRY_COMPARE(established.size(), 1);
    for (qsizetype at = 0; at < stream.size(); at += chunkBytes) {
        server.send(stream.mid(at, chunkBytes));
        if (chunkBytes < stream.size())
            QTest::qWait(1);
    }
    QTRY_COMPARE(collector.packets().size(), lines.size());
    QCOMPARE(collector.lines(), lines);
    for (qsizetype i = 0; i < ports.size(); ++i) {
        QCOMPARE(collector.packets().at(i).radioPort, ports.at(i));
    }
    QCOMPARE(log.messages(), QStringList {QStringLiteral("KISS 127.0.0.1:%1 connected").arg(server.port())});
}

void TestKissTcpSource::refusedThenConnects()
{
    LogCapture log;
    const quint16 port = LoopbackServer::freePort();
    KissTcpSource source(QStringLiteral("127.0.0.1"), port);
    source.setMillisecondsPerSecond(10);
    source.start();
    QTRY_VERIFY(log.messages().size() >= 2);
    QCOMPARE(log.messages().first(2),
        (QStringList {QStringLiteral("KISS 127.0.0.1:%1 refused, retrying in 1 s").arg(port),
            QStringLiteral("KISS 127.0.0.1:%1 refused, retrying in 2 s").arg(port)}));
    LoopbackServer server;
    QVERIFY(server.listen(port));
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, 10000);
    QTRY_VERIFY(source.isLinkUp());
    PacketCollector collector(source);
    server.send(kissFrame(0, ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), ">up")));
    QTRY_COMPARE(collector.lines(), QList<QByteArray> {"N0CALL>APRS:>up"});
}

void TestKissTcpSource::partialFrameDoesNotSurviveReconnect()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    KissTcpSource source(QStringLiteral("127.0.0.1"), server.port());
    source.setMillisecondsPerSecond(10);
    PacketCollector collector(source);
    QSignalSpy established(&source, &TcpFeedSource::linkEstablished);
    source.start();
    QTRY_COMPARE(established.size(), 1);
    const QByteArray frame = kissFrame(0, ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), ">one"));
    server.send(frame.first(10));
    server.closeLast();
    QTRY_COMPARE(established.size(), 2);
    // The new connection starts without a FEND, as a TNC may after a restart.
    server.send(frame.sliced(10) + frame);
    QTRY_COMPARE(collector.lines(), QList<QByteArray> {"N0CALL>APRS:>one"});
    QTest::qWait(50);
    QCOMPARE(collector.lines().size(), 1);
    QCOMPARE(source.reader().skippedFrames(), 0);
}

QTEST_GUILESS_MAIN(TestKissTcpSource)
#include "tst_kisstcpsource.moc"

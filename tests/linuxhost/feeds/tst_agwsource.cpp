#include "support/Ax25Frames.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/PacketCollector.h"

#include "linuxhost/feeds/AgwSource.h"
#include "linuxhost/kiss/Ax25Decoder.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// An AGW message as a packet engine sends it: port, three reserved bytes,
// kind, reserved, PID, reserved, two 10-byte callsign fields, the data length
// (little-endian), 4 reserved bytes, then the data.
QByteArray agwMessage(int port, char kind, const QByteArray &data, quint32 length)
{
    QByteArray header(36, '\0');
    header[0] = char(port);
    header[4] = kind;
    header.replace(8, 6, "N0CALL");
    for (int i = 0; i < 4; ++i)
        header[28 + i] = char((length >> (8 * i)) & 0xFF);
    return header + data;
}

QByteArray agwMessage(int port, char kind, const QByteArray &data)
{
    return agwMessage(port, kind, data, quint32(data.size()));
}

// A raw frame as Dire Wolf sends it: one KISS-style byte before the AX.25 frame.
QByteArray rawFrame(int port, const QByteArray &ax25)
{
    return agwMessage(port, 'K', QByteArray(1, '\0') + ax25);
}

QByteArray uiFrame(const QByteArray &info)
{
    return ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 9) + ax25Address("WIDE1", 1, true, true), info);
}

}  // namespace

class TestAgwSource : public QObject
{
    Q_OBJECT
private slots:
    void deliversRawFrames_data();
    void deliversRawFrames();
    void nonsenseLengthDropsTheLink();
};

void TestAgwSource::deliversRawFrames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("chunkBytes");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<int>>("ports");
    QTest::addColumn<int>("overlong");
    QTest::addColumn<int>("skipped");  // told when the feed stops

    const QByteArray position = rawFrame(0, uiFrame("!4903.50N/07201.75W>Test"));
    QTest::addRow("one frame on port 0") << position << 1000
                                         << QList<QByteArray> {"N0CALL-9>APRS,WIDE1-1*:!4903.50N/07201.75W>Test"}
                                         << QList<int> {1} << 0 << 0;
    QTest::addRow("frames a byte at a time, ports 0 and 2")
        << position + rawFrame(2, uiFrame(">status")) << 1
        << QList<QByteArray> {"N0CALL-9>APRS,WIDE1-1*:!4903.50N/07201.75W>Test", "N0CALL-9>APRS,WIDE1-1*:>status"}
        << QList<int> {1, 3} << 0 << 0;
    QTest::addRow("other messages and frames skipped")
        << agwMessage(0, 'G', "2;Port1 first soundcard mono;Port2 second;")
            + agwMessage(0, 'U', " 1:Fm N0CALL-9 To APRS Via WIDE1-1* <UI pid=F0 Len=24 >[12:00:00]\r!4903.50N\r")
            + agwMessage(0, 'K', {})
            + rawFrame(0, ax25Address("N1CALL", 0) + ax25Address("N0CALL", 0, true) + char(0x3F)) + position
        << 7 << QList<QByteArray> {"N0CALL-9>APRS,WIDE1-1*:!4903.50N/07201.75W>Test"} << QList<int> {1} << 0 << 4;
    QTest::addRow("information field too long")
        << rawFrame(0, uiFrame(">" + QByteArray(Ax25Decoder::MaxInfoBytes, 'x'))) + position << 1000
        << QList<QByteArray> {"N0CALL-9>APRS,WIDE1-1*:!4903.50N/07201.75W>Test"} << QList<int> {1} << 1 << 0;
}

void TestAgwSource::deliversRawFrames()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, chunkBytes);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<int>, ports);
    QFETCH(int, overlong);
    QFETCH(int, skipped);

    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AgwSource source(QStringLiteral("127.0.0.1"), server.port());
    PacketCollector collector(source);
    source.start();
    // Raw monitoring asked for first, then the version: kinds 'k' and 'R',
    // everything else zero. The version's answer shows 'k' has been read.
    QTRY_COMPARE(server.received(0), QByteArray(4, '\0') + 'k' + QByteArray(35, '\0') + 'R' + QByteArray(31, '\0'));
    QVERIFY(!source.isMonitoring());
    server.send(agwMessage(0, 'R', QByteArray("\xd5\x07\x00\x00\x7f\x00\x00\x00", 8)));
    QTRY_VERIFY(source.isMonitoring());
    for (qsizetype at = 0; at < stream.size(); at += chunkBytes) {
        server.send(stream.mid(at, chunkBytes));
        if (chunkBytes < stream.size())
            QTest::qWait(1);
    }
    QTRY_COMPARE(collector.packets().size(), lines.size());
    QCOMPARE(collector.lines(), lines);
    for (qsizetype i = 0; i < ports.size(); ++i)
        QCOMPARE(collector.packets().at(i).radioPort, ports.at(i));
    QCOMPARE(source.overlongDropped(), overlong);
    source.stop();
    source.stop();  // told once
    const QString feed = QStringLiteral("AGW 127.0.0.1:%1").arg(server.port());
    QCOMPARE(log.messages(),
        QStringList({feed + QStringLiteral(" connected"),
            feed
                + QStringLiteral(" stopped: %1 messages skipped, %2 frames too long dropped")
                      .arg(skipped)
                      .arg(overlong)}));
}

// A peer that is no AGW server (a web server, say) announces lengths no AGW
// message has: the source hangs up rather than wait for gigabytes.
void TestAgwSource::nonsenseLengthDropsTheLink()
{
    LogCapture log;
    LoopbackServer server;
    QVERIFY(server.listen());
    AgwSource source(QStringLiteral("127.0.0.1"), server.port());
    source.setMillisecondsPerSecond(10);
    PacketCollector collector(source);
    source.start();
    QTRY_VERIFY(!server.received(0).isEmpty());
    server.send(agwMessage(0, 'K', {}, 0x7FFFFFFF));
    QTRY_COMPARE(server.connectionCount(), 2);
    QTRY_VERIFY(!server.received(1).isEmpty());
    QCOMPARE(log.messages().at(1),
        QStringLiteral("AGW 127.0.0.1:%1 sent a message of 2147483647 bytes, which no AGW "
                       "server sends, retrying in 1 s")
            .arg(server.port()));
    server.send(rawFrame(0, uiFrame(">after")));
    QTRY_COMPARE(collector.lines(), QList<QByteArray> {"N0CALL-9>APRS,WIDE1-1*:>after"});
}

QTEST_GUILESS_MAIN(TestAgwSource)
#include "tst_agwsource.moc"

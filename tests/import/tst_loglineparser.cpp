// The line forms keldan-import reads: plain TNC2, ISO time stamps, aprx's RF log.

#include "import/LogLineParser.h"

#include <QTest>

class TestLogLineParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void TestLogLineParser::parse_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QDateTime>("time");

    const int packet = int(LogLineParser::Kind::Packet);
    const int skipped = int(LogLineParser::Kind::Skipped);
    const int bad = int(LogLineParser::Kind::Bad);
    const QByteArray tnc2 = "N0CALL-9>APRS,WIDE1-1:!4903.50N/07201.75W>";
    const QDateTime none;
    const QDateTime local(QDate(2024, 5, 6), QTime(14, 30, 0), Qt::UTC);  // the parser is given UTC below

    QTest::addRow("plain TNC2") << tnc2 << packet << tnc2 << none;
    QTest::addRow("plain TNC2, CR LF and blanks") << "  " + tnc2 + " \r\n" << packet << tnc2 << none;
    QTest::addRow("ISO stamp") << "2024-05-06 14:30:00 " + tnc2 << packet << tnc2 << local;
    QTest::addRow("ISO stamp with T and Z") << "2024-05-06T14:30:00Z\t" + tnc2 << packet << tnc2 << local;
    QTest::addRow("ISO stamp with an offset") << "2024-05-06T16:30:00+02:00 "
            + tnc2 << packet << tnc2 << QDateTime(QDate(2024, 5, 6), QTime(16, 30, 0), Qt::OffsetFromUTC, 7200);
    QTest::addRow("ISO stamp with milliseconds")
        << "2024-05-06 14:30:00.250 " + tnc2 << packet << tnc2 << local.addMSecs(250);
    QTest::addRow("aprx, received") << "2024-05-06 14:30:00.000 OH2XYZ-1  R " + tnc2 << packet << tnc2 << local;
    QTest::addRow("aprx, from APRS-IS") << "2024-05-06 14:30:00.000 APRSIS    R " + tnc2 << packet << tnc2 << local;
    QTest::addRow("aprx, transmitted") << "2024-05-06 14:30:00.000 OH2XYZ-1  T " + tnc2 << skipped << QByteArray()
                                       << local;
    QTest::addRow("aprx, dropped") << "2024-05-06 14:30:00.000 OH2XYZ-1  d " + tnc2 << skipped << QByteArray() << local;
    QTest::addRow("comment") << QByteArray("# logresp N0CALL unverified") << skipped << QByteArray() << none;
    QTest::addRow("blank line") << QByteArray(" \r\n") << skipped << QByteArray() << none;
    QTest::addRow("text") << QByteArray("this line is no packet") << bad << QByteArray() << none;
    QTest::addRow("stamp, then text") << QByteArray("2024-05-06 14:30:00 no packet") << bad << QByteArray() << local;
    QTest::addRow("stamp glued to the packet") << "2024-05-06 14:30:00" + tnc2 << bad << QByteArray() << none;
    QTest::addRow("no such month: not a stamp") << "2024-13-06 14:30:00 " + tnc2 << bad << QByteArray() << none;
    QTest::addRow("APRS-IS source with an underscore")
        << QByteArray("K6IFR_S>APJS10,TCPIP*:!") << packet << QByteArray("K6IFR_S>APJS10,TCPIP*:!") << none;
    QTest::addRow("blank in the source") << QByteArray("N0 CALL>APRS:!") << bad << QByteArray() << none;
    QTest::addRow("no information field") << QByteArray("N0CALL>APRS,WIDE1-1") << bad << QByteArray() << none;
}

void TestLogLineParser::parse()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, kind);
    QFETCH(QByteArray, packet);
    QFETCH(QDateTime, time);

    const LogLineParser parser(Qt::UTC);
    const LogLineParser::Line line = parser.parse(raw);
    QCOMPARE(int(line.kind), kind);
    QCOMPARE(line.packet, packet);
    QCOMPARE(line.time.isValid(), time.isValid());
    if (time.isValid()) {
        QCOMPARE(line.time.toMSecsSinceEpoch(), time.toMSecsSinceEpoch());
        QCOMPARE(line.time.offsetFromUtc(), time.offsetFromUtc());
    }
}

QTEST_GUILESS_MAIN(TestLogLineParser)
#include "tst_loglineparser.moc"

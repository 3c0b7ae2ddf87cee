// The line forms keldan-import reads: plain TNC2, ISO time stamps, aprx's RF
// log with its byte escapes, the packet journal, Dire Wolf's CSV log; the
// stamps it refuses; local times around a daylight-saving change.

#include "import/LogLineParser.h"

#include <QTest>

#include <ctime>

class TestLogLineParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void daylightSavingChange_data();
    void daylightSavingChange();
};

void TestLogLineParser::parse_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<int>("radioPort");

    const int packet = int(LogLineParser::Kind::Packet);
    const int skipped = int(LogLineParser::Kind::Skipped);
    const int bad = int(LogLineParser::Kind::Bad);
    const int badTime = int(LogLineParser::Kind::BadTime);
    const QByteArray tnc2 = "N0CALL-9>APRS,WIDE1-1:!4903.50N/07201.75W>";
    const QDateTime none;
    const QDateTime local(QDate(2024, 5, 6), QTime(14, 30, 0), Qt::UTC);  // the parser is given UTC below

    QTest::addRow("plain TNC2") << tnc2 << packet << tnc2 << none << 0;
    QTest::addRow("plain TNC2, CR LF and blanks") << "  " + tnc2 + " \r\n" << packet << tnc2 << none << 0;
    QTest::addRow("ISO stamp") << "2024-05-06 14:30:00 " + tnc2 << packet << tnc2 << local << 0;
    QTest::addRow("ISO stamp with T and Z") << "2024-05-06T14:30:00Z\t" + tnc2 << packet << tnc2 << local << 0;
    QTest::addRow("ISO stamp with an offset")
        << "2024-05-06T16:30:00+02:00 " + tnc2 << packet << tnc2
        << QDateTime(QDate(2024, 5, 6), QTime(16, 30, 0), Qt::OffsetFromUTC, 7200) << 0;
    QTest::addRow("ISO stamp with milliseconds")
        << "2024-05-06 14:30:00.250 " + tnc2 << packet << tnc2 << local.addMSecs(250) << 0;
    QTest::addRow("aprx, received") << "2024-05-06 14:30:00.000 OH2XYZ-1  R " + tnc2 << packet << tnc2 << local << 0;
    QTest::addRow("aprx, from APRS-IS") << "2024-05-06 14:30:00.000 APRSIS    R " + tnc2 << packet << tnc2 << local
                                        << 0;
    QTest::addRow("aprx, transmitted") << "2024-05-06 14:30:00.000 OH2XYZ-1  T " + tnc2 << skipped << QByteArray()
                                       << local << 0;
    QTest::addRow("aprx, dropped") << "2024-05-06 14:30:00.000 OH2XYZ-1  d " + tnc2 << skipped << QByteArray() << local
                                   << 0;
    QTest::addRow("comment") << QByteArray("# logresp N0CALL unverified") << skipped << QByteArray() << none << 0;
    QTest::addRow("blank line") << QByteArray(" \r\n") << skipped << QByteArray() << none << 0;
    QTest::addRow("text") << QByteArray("this line is no packet") << bad << QByteArray() << none << 0;
    QTest::addRow("stamp, then text") << QByteArray("2024-05-06 14:30:00 no packet") << bad << QByteArray() << local
                                      << 0;
    QTest::addRow("stamp glued to the packet") << "2024-05-06 14:30:00" + tnc2 << bad << QByteArray() << none << 0;
    QTest::addRow("no such month") << "2024-13-06 14:30:00 " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("February 30") << "2024-02-30 14:30:00 " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("hour 24") << "2024-05-06 24:00:00 " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("year 9999") << "9999-12-31 23:59:59Z " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("year 1989") << "1989-12-31 23:59:59 " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("year 2101") << "2101-01-01 00:00:00 " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("offset of 15 hours") << "2024-05-06T14:30:00+15:00 " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("ISO stamp west of UTC")
        << "2024-05-06T09:30:00-05:00 " + tnc2 << packet << tnc2
        << QDateTime(QDate(2024, 5, 6), QTime(9, 30, 0), Qt::OffsetFromUTC, -18000) << 0;
    QTest::addRow("NUL kept inside the line") << "2024-05-06 14:30:00 " + tnc2 + QByteArray("\0tail", 5) << packet
                                              << tnc2 + QByteArray("\0tail", 5) << local << 0;
    QTest::addRow("aprx, escaped Mic-E byte")
        << QByteArray("2024-05-06 14:30:00.000 OH2XYZ-1  R N0CALL>T2TP4R:`c_<0x1c>l <0x1c>>/]\"4T}=") << packet
        << QByteArray("N0CALL>T2TP4R:`c_\x1cl \x1c>/]\"4T}=") << local << 0;
    QTest::addRow("aprx, sign-extended escape")
        << QByteArray("2024-05-06 14:30:00.000 OH2XYZ-1  R N0CALL>APRS:>caf<0xffffffce><0xFFFFFFa9>") << packet
        << QByteArray("N0CALL>APRS:>caf\xce\xa9") << local << 0;
    QTest::addRow("aprx, no escape") << QByteArray("2024-05-06 14:30:00.000 OH2XYZ-1  R N0CALL>APRS:><0x1> <0xZZ>")
                                     << packet << QByteArray("N0CALL>APRS:><0x1> <0xZZ>") << local << 0;
    QTest::addRow("TNC2 keeps its <0x1c> text")
        << QByteArray("N0CALL>APRS:>a<0x1c>") << packet << QByteArray("N0CALL>APRS:>a<0x1c>") << none << 0;
    QTest::addRow("packet journal, port 101")
        << "2024-05-06T14:30:00.000Z 101 " + tnc2 << packet << tnc2 << local << 101;
    QTest::addRow("packet journal, year 1970")
        << "1970-01-01T00:00:00.000Z 3 " + tnc2 << badTime << QByteArray() << none << 0;
    QTest::addRow("Dire Wolf header") << QByteArray(
        "chan,utime,isotime,source,heard,level,error,dti,name,symbol,latitude,longitude,speed,course,"
        "altitude,frequency,offset,tone,system,status,telemetry,comment")
                                      << skipped << QByteArray() << none << 0;
    QTest::addRow("Dire Wolf position") << QByteArray(
        "0,1714998600,2024-05-06T14:30:00Z,N0CALL-9,N0CALL-9,50(12/11),0,!,N0CALL-9,/>,49.058333,"
        "-72.029167,10.0,90.0,150.0,,,,\"Kenwood TM-D710\",,,\"comment, \"\"quoted\"\"\"")
                                        << packet
                                        << QByteArray(
                                               "N0CALL-9>APRS:!4903.50N/07201.75W>090/010/A=000492comment, \"quoted\"")
                                        << local << 0;
    QTest::addRow("Dire Wolf object") << QByteArray(
        "1,1714998600,2024-05-06T14:30:00Z,N0CALL,N0CALL,50(12/11),0,;,LEADER,\\O,49.058333,-72.029167,"
        ",,,,,,,,,") << packet << QByteArray("N0CALL>APRS:)LEADER!4903.50N\\07201.75WO")
                                      << local << 0;
    QTest::addRow("Dire Wolf position off the globe, out-of-range speed")
        << QByteArray("0,1714998600,2024-05-06T14:30:00Z,N0CALL-9,N0CALL-9,50(12/11),0,!,N0CALL-9,/>,"
                      "53522222222222222222222222222.0,-72.0,1e30,-5,1e300,,,,,,,")
        << bad << QByteArray() << local << 0;
    QTest::addRow("Dire Wolf speed and altitude no station reports")
        << QByteArray("0,1714998600,2024-05-06T14:30:00Z,N0CALL-9,N0CALL-9,50(12/11),0,!,N0CALL-9,/>,49.058333,"
                      "-72.029167,1e30,90.0,1e300,,,,,,,")
        << packet << QByteArray("N0CALL-9>APRS:!4903.50N/07201.75W>") << local << 0;
    QTest::addRow("Dire Wolf message") << QByteArray("0,1714998600,2024-05-06T14:30:00Z,N0CALL,N0CALL,50(12/11),0,:,"
                                                     "N0CALL,,,,,,,,,,,,,Hello")
                                       << skipped << QByteArray() << local << 0;
    QTest::addRow("APRS-IS source with an underscore")
        << QByteArray("K6IFR_S>APJS10,TCPIP*:!") << packet << QByteArray("K6IFR_S>APJS10,TCPIP*:!") << none << 0;
    QTest::addRow("blank in the source") << QByteArray("N0 CALL>APRS:!") << bad << QByteArray() << none << 0;
    // A byte above 0x7e is positive where char is unsigned (arm64).
    QTest::addRow("byte above 0x7e in the source") << QByteArray("N0\xd8L>APRS:!") << bad << QByteArray() << none << 0;
    QTest::addRow("no information field") << QByteArray("N0CALL>APRS,WIDE1-1") << bad << QByteArray() << none << 0;
}

void TestLogLineParser::parse()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, kind);
    QFETCH(QByteArray, packet);
    QFETCH(QDateTime, time);

    QFETCH(int, radioPort);

    const LogLineParser parser(Qt::UTC);
    const LogLineParser::Line line = parser.parse(raw);
    QCOMPARE(int(line.kind), kind);
    QCOMPARE(line.packet, packet);
    QCOMPARE(int(line.radioPort), radioPort);
    QCOMPARE(line.time.isValid(), time.isValid());
    if (time.isValid()) {
        QCOMPARE(line.time.toMSecsSinceEpoch(), time.toMSecsSinceEpoch());
        QCOMPARE(line.time.offsetFromUtc(), time.offsetFromUtc());
    }
}

void TestLogLineParser::daylightSavingChange_data()
{
    QTest::addColumn<QByteArray>("stamp");
    QTest::addColumn<QDateTime>("utc");
    const auto utc = [](int month, int day, int hour, int minute) {
        return QDateTime(QDate(2024, month, day), QTime(hour, minute), Qt::UTC);
    };
    // Central European time: 02:00-03:00 skipped on 31 March, repeated on 27 October.
    QTest::addRow("before the gap") << QByteArray("2024-03-31 01:59:00") << utc(3, 31, 0, 59);
    QTest::addRow("in the gap: moved forward by it") << QByteArray("2024-03-31 02:30:00") << utc(3, 31, 1, 30);
    QTest::addRow("after the gap") << QByteArray("2024-03-31 03:30:00") << utc(3, 31, 1, 30);
    QTest::addRow("before the overlap") << QByteArray("2024-10-27 01:59:00") << utc(10, 26, 23, 59);
    QTest::addRow("in the overlap: its first occurrence") << QByteArray("2024-10-27 02:30:00") << utc(10, 27, 0, 30);
    QTest::addRow("after the overlap") << QByteArray("2024-10-27 03:00:00") << utc(10, 27, 2, 0);
    QTest::addRow("winter") << QByteArray("2024-01-15 12:00:00") << utc(1, 15, 11, 0);
}

void TestLogLineParser::daylightSavingChange()
{
    QFETCH(QByteArray, stamp);
    QFETCH(QDateTime, utc);
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    const LogLineParser parser(Qt::LocalTime);
    const LogLineParser::Line line = parser.parse(stamp + " N0CALL>APRS:!4903.50N/07201.75W-");
    QCOMPARE(int(line.kind), int(LogLineParser::Kind::Packet));
    QCOMPARE(line.time.toUTC(), utc);
}

QTEST_GUILESS_MAIN(TestLogLineParser)
#include "tst_loglineparser.moc"

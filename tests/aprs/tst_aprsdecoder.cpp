// Decoder behaviour that guards real faults: truncated and broken packets,
// ambiguity, Mic-E, compressed and NMEA positions, killed objects, third-party
// packets, text encodings, control bytes and the comment offset. Expected
// values are worked out by hand from the packet bytes.

#include "TsvTable.h"

#include "aprs/AprsDecoder.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

aprs::Packet decodeBytes(const QByteArray &line)
{
    return aprs::decode(std::string_view(line.constData(), size_t(line.size())));
}

constexpr double knot = 1.852;
const std::optional<double> none;

// The reason codes AprsDecoder.h documents ("//   code   text").
QSet<QByteArray> documentedCodes()
{
    QSet<QByteArray> codes;
    QFile header(QStringLiteral(KELDAN_SOURCE_DIR "/src/aprs/AprsDecoder.h"));
    if (!header.open(QIODevice::ReadOnly))
        return codes;
    static const QRegularExpression line(QStringLiteral("^//   ([a-z0-9_]+) "));
    for (const QByteArray &l : header.readAll().split('\n')) {
        const auto m = line.match(QString::fromLatin1(l));
        if (m.hasMatch())
            codes.insert(m.captured(1).toLatin1());
    }
    return codes;
}

// What must hold for any packet the decoder returns.
QString invariantBreak(const aprs::Packet &p)
{
    if (p.error == nullptr)
        return QStringLiteral("null error");
    if (p.commentOffset < 0 || p.commentOffset > p.information.size())
        return QStringLiteral("comment offset %1 outside 0..%2").arg(p.commentOffset).arg(p.information.size());
    if (p.ok() && p.comment.isEmpty() != (p.commentOffset == p.information.size()))
        return QStringLiteral("comment \"%1\" at offset %2 of %3")
            .arg(p.comment)
            .arg(p.commentOffset)
            .arg(p.information.size());
    if (!p.ok() && p.hasPosition)
        return QStringLiteral("rejected packet with a position");
    if (p.hasPosition && (!(std::fabs(p.latitudeDeg) <= 90) || !(std::fabs(p.longitudeDeg) <= 180)))
        return QStringLiteral("position %1,%2").arg(p.latitudeDeg).arg(p.longitudeDeg);
    if (p.ambiguity < 0 || p.ambiguity > 4)
        return QStringLiteral("ambiguity %1").arg(p.ambiguity);
    if (p.courseDeg && !(*p.courseDeg >= 0 && *p.courseDeg <= 360))
        return QStringLiteral("course %1").arg(*p.courseDeg);
    if (p.speedKmh && !(*p.speedKmh >= 0 && std::isfinite(*p.speedKmh)))
        return QStringLiteral("speed %1").arg(*p.speedKmh);
    const aprs::WeatherReport &w = p.weather;
    if (w.humidityPercent && !(*w.humidityPercent >= 0 && *w.humidityPercent <= 100))
        return QStringLiteral("humidity %1").arg(*w.humidityPercent);
    for (const auto &amount : {w.windSpeedMs, w.windGustMs, w.rain1hMm, w.rain24hMm, w.rainMidnightMm, w.snow24hMm}) {
        if (amount && !(*amount >= 0))
            return QStringLiteral("negative wind or rain %1").arg(*amount);
    }
    return {};
}

}  // namespace

class TestAprsDecoder : public QObject
{
    Q_OBJECT

private slots:
    void rejects_data();
    void rejects();
    void positions_data();
    void positions();
    void micE_data();
    void micE();
    void objectsAndItems_data();
    void objectsAndItems();
    void weather_data();
    void weather();
    void comments_data();
    void comments();
    void thirdParty();
    void messages_data();
    void messages();
    void fuzzFindings_data();
    void fuzzFindings();
    void everyTruncationKeepsTheInvariants();
    void aReusedPacketDecodesAsANewOne();
    void everyReasonIsDocumented();
};

void TestAprsDecoder::rejects_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("error");

    QTest::addRow("empty line") << QByteArray("") << QByteArray("packet_short");
    QTest::addRow("only CR LF") << QByteArray("\r\n") << QByteArray("packet_short");
    QTest::addRow("no colon") << QByteArray("N0CALL>APRS") << QByteArray("packet_nobody");
    QTest::addRow("nothing after the colon") << QByteArray("N0CALL>APRS:") << QByteArray("packet_nobody");
    QTest::addRow("no source") << QByteArray(">APRS:>hi") << QByteArray("srccall_badchars");
    QTest::addRow("underscore in the source") << QByteArray("N0_CALL>APRS:>hi") << QByteArray("srccall_badchars");
    QTest::addRow("source of 10 characters") << QByteArray("ABCDEFGHIJ>APRS:>hi") << QByteArray("srccall_badchars");
    QTest::addRow("no destination") << QByteArray("N0CALL>:>hi") << QByteArray("dstcall_none");
    QTest::addRow("lower-case destination") << QByteArray("N0CALL>aprs:>hi") << QByteArray("dstcall_noax25");
    QTest::addRow("destination SSID 16") << QByteArray("N0CALL>APRS-16:>hi") << QByteArray("dstcall_noax25");
    QTest::addRow("empty path element") << QByteArray("N0CALL>APRS,,WIDE2-1:>hi") << QByteArray("digicall_badchars");
    QTest::addRow("IPv6 hex before the q construct")
        << QByteArray("N0CALL>APRS,200106F8020204020000000000000002,qAI,X:>hi") << QByteArray("digicall_badchars");
    QTest::addRow("unknown data type") << QByteArray("N0CALL>APRS:#hello") << QByteArray("unknown");
    QTest::addRow("'!' after the 40th byte")
        << QByteArray("N0CALL>APRS:0123456789012345678901234567890123456789!4903.50N/07201.75W-")
        << QByteArray("unknown");
    QTest::addRow("experimental") << QByteArray("N0CALL>APRS:{{ data") << QByteArray("exp_unsupp");
    QTest::addRow("position report too short") << QByteArray("N0CALL>APRS:!4903.50N/07") << QByteArray("packet_short");
    QTest::addRow("position cut before the symbol")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W") << QByteArray("loc_short");
    QTest::addRow("letters in the minutes") << QByteArray("N0CALL>APRS:!49ab.50N/07201.75W-") << QByteArray("loc_inv");
    QTest::addRow("control byte in the latitude")
        << QByteArray("N0CALL>APRS:!4903.5\x01N/07201.75W-") << QByteArray("loc_inv");
    QTest::addRow("NUL byte in the longitude")
        << QByteArray("N0CALL>APRS:!4903.50N/0720\0.75W-", sizeof "N0CALL>APRS:!4903.50N/0720\0.75W-" - 1)
        << QByteArray("loc_inv");
    QTest::addRow("60 minutes") << QByteArray("N0CALL>APRS:!4960.00N/07201.75W-") << QByteArray("loc_inv");
    QTest::addRow("latitude 90") << QByteArray("N0CALL>APRS:!9000.00N/07201.75W-") << QByteArray("loc_large");
    QTest::addRow("longitude 180") << QByteArray("N0CALL>APRS:!4903.50N/18000.00W-") << QByteArray("loc_large");
    QTest::addRow("ambiguity blank inside the digits")
        << QByteArray("N0CALL>APRS:!49 3.50N/07201.75W-") << QByteArray("loc_amb_inv");
    QTest::addRow("longitude blanked without ambiguity")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.7 W-") << QByteArray("loc_amb_inv");
    QTest::addRow("symbol table ','") << QByteArray("N0CALL>APRS:!4903.50N,07201.75W-") << QByteArray("sym_inv_table");
    QTest::addRow("compressed cut short") << QByteArray("N0CALL>APRS:@092345z/5L!!<*e7>7P") << QByteArray("comp_inv");
    QTest::addRow("truncated Mic-E: symbol missing")
        << QByteArray("N0CALL>S32U6T:`dYg\x1e\x1eO") << QByteArray("mice_short");
    QTest::addRow("truncated Mic-E: type byte only") << QByteArray("N0CALL>S32U6T:`") << QByteArray("mice_short");
    QTest::addRow("truncated Mic-E: five-byte destination")
        << QByteArray("N0CALL>S32U6:`dYg\x1e\x1eO>/") << QByteArray("mice_short");
    QTest::addRow("Mic-E destination with M") << QByteArray("N0CALL>S32M6T:`dYg\x1e\x1eO>/") << QByteArray("mice_inv");
    QTest::addRow("Mic-E blank digit before a digit")
        << QByteArray("N0CALL>S32Z6T:`dYg\x1e\x1eO>/") << QByteArray("mice_amb_inv");
    QTest::addRow("Mic-E five blanked digits")
        << QByteArray("N0CALL>SZZZZZ:`dYg\x1e\x1eO>/") << QByteArray("mice_amb_large");
    QTest::addRow("Mic-E symbol table ','")
        << QByteArray("N0CALL>S32U6T:`dYg\x1e\x1eO>,") << QByteArray("sym_inv_table");
    QTest::addRow("Mic-E longitude byte out of range")
        << QByteArray("N0CALL>S32U6T:`\x10\x1dg\x1e\x1eO>/") << QByteArray("mice_inv_info");
    QTest::addRow("NMEA RMC with a wrong checksum")
        << QByteArray("N0CALL>GPS:$GPRMC,145526,A,3349.0378,N,08406.2617,W,23.726,27.9,121207,4.9,W*7B")
        << QByteArray("nmea_inv_cksum");
    QTest::addRow("NMEA RMC with one byte changed")
        << QByteArray("N0CALL>GPS:$GPRMC,145526,A,3349.0379,N,08406.2617,W,23.726,27.9,121207,4.9,W*7A")
        << QByteArray("nmea_inv_cksum");
    QTest::addRow("NMEA RMC without fix")
        << QByteArray("N0CALL>GPS:$GPRMC,041518,V,,,,,,,230309,,") << QByteArray("gprmc_nofix");
    QTest::addRow("NMEA RMC on 31 April")
        << QByteArray("N0CALL>GPS:$GPRMC,145526,A,3349.0378,N,08406.2617,W,23.726,27.9,310407,4.9,W")
        << QByteArray("gprmc_inv_date");
    QTest::addRow("NMEA GGA without fix")
        << QByteArray("N0CALL>GPS:$GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,")
        << QByteArray("gpgga_nofix");
    QTest::addRow("NMEA latitude marked east")
        << QByteArray("N0CALL>GPS:$GPGLL,4916.45,E,12311.12,W") << QByteArray("nmea_inv_sign");
    QTest::addRow("NMEA sentence VTG") << QByteArray("N0CALL>GPS:$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K")
                                       << QByteArray("nmea_unsupp");
    QTest::addRow("object too short") << QByteArray("N0CALL>APRS:;LEADER   *092345z4903.50N")
                                      << QByteArray("obj_short");
    QTest::addRow("object without live/killed flag")
        << QByteArray("N0CALL>APRS:;LEADER   X092345z4903.50N/07201.75W>") << QByteArray("obj_inv");
    QTest::addRow("object position of blanks")
        << QByteArray("N0CALL>APRS:;LEADER   *092345z    .  N/     .  W>") << QByteArray("obj_dec_err");
    QTest::addRow("item name of 10 bytes")
        << QByteArray("N0CALL>APRS:)ABCDEFGHIJ!4903.50N/07201.75W>") << QByteArray("item_inv");
    QTest::addRow("item name of 2 bytes")
        << QByteArray("N0CALL>APRS:)AB!4903.50N/07201.75W>") << QByteArray("item_inv");
    QTest::addRow("positionless weather without time")
        << QByteArray("N0CALL>APRS:_c220s004g005t077") << QByteArray("wx_unsupp");
    QTest::addRow("positionless weather without readings")
        << QByteArray("N0CALL>APRS:_10090556c...s...g...t...") << QByteArray("wx_inv");
    QTest::addRow("message with a control byte")
        << QByteArray("N0CALL>APRS::WU2Z     :Test\x07ing") << QByteArray("msg_inv");
    QTest::addRow("message without text") << QByteArray("N0CALL>APRS::WU2Z     :") << QByteArray("msg_inv");
    QTest::addRow("telemetry value beyond 32 bits")
        << QByteArray("N0CALL>APRS:T#1,2147483648,0,0,0,0,00000000") << QByteArray("tlm_large");
    QTest::addRow("third-party without inner packet") << QByteArray("N0CALL>APRS:}") << QByteArray("packet_short");
    QTest::addRow("third-party with a bad inner source")
        << QByteArray("N0CALL>APRS:}W1_AW>APRS:>hi") << QByteArray("srccall_badchars");
    QTest::addRow("third-party inner packet rejected")
        << QByteArray("N0CALL>APRS:}W1AW>APRS,TCPIP,N0CALL*:!4960.00N/07201.75W-") << QByteArray("loc_inv");
}

// Each fault is rejected with its own reason, and a rejected packet carries
// no decoded position.
void TestAprsDecoder::rejects()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, error);
    const aprs::Packet p = decodeBytes(line);
    QCOMPARE(QByteArray(p.error), error);
    QVERIFY(!p.ok());
    QVERIFY(!p.hasPosition);
}

void TestAprsDecoder::positions_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<int>("ambiguity");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<std::optional<double>>("speedKmh");
    QTest::addColumn<std::optional<double>>("courseDeg");
    QTest::addColumn<std::optional<double>>("altitudeM");

    QTest::addRow("uncompressed, north-west") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-Test") << 49 + 3.50 / 60
                                              << -(72 + 1.75 / 60) << 0 << "/-" << none << none << none;
    QTest::addRow("uncompressed, south-east, lower-case hemispheres")
        << QByteArray("N0CALL>APRS:=3352.10s\\15112.30e&") << -(33 + 52.10 / 60) << 151 + 12.30 / 60 << 0 << "\\&"
        << none << none << none;
    QTest::addRow("ambiguity 1: centre of the 0.1 minute box")
        << QByteArray("N0CALL>APRS:!4903.5 N/07201.7 W-") << 49 + 3.55 / 60 << -(72 + 1.75 / 60) << 1 << "/-" << none
        << none << none;
    QTest::addRow("ambiguity 2: centre of the minute")
        << QByteArray("N0CALL>APRS:!4903.  N/07201.  W-") << 49 + 3.5 / 60 << -(72 + 1.5 / 60) << 2 << "/-" << none
        << none << none;
    QTest::addRow("ambiguity 3: centre of the ten minutes")
        << QByteArray("N0CALL>APRS:!490 .  N/0720 .  W-") << 49 + 5.0 / 60 << -(72 + 5.0 / 60) << 3 << "/-" << none
        << none << none;
    QTest::addRow("ambiguity 4: centre of the degree")
        << QByteArray("N0CALL>APRS:!49  .  N/072  .  W-") << 49.5 << -72.5 << 4 << "/-" << none << none << none;
    QTest::addRow("ambiguity 2, southern and eastern")
        << QByteArray("N0CALL>APRS:!3352.  S/15112.  E-") << -(33 + 52.5 / 60) << 151 + 12.5 / 60 << 2 << "/-" << none
        << none << none;
    QTest::addRow("course, speed and altitude in feet")
        << QByteArray("N0CALL>APRS:/092345z4903.50N/07201.75W>088/036/A=001234Moving") << 49 + 3.50 / 60
        << -(72 + 1.75 / 60) << 0 << "/>" << std::optional<double>(36 * knot) << std::optional<double>(88)
        << std::optional<double>(1234 * 0.3048);
    QTest::addRow("unknown course 000 stays 0")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W>000/010") << 49 + 3.50 / 60 << -(72 + 1.75 / 60) << 0 << "/>"
        << std::optional<double>(10 * knot) << std::optional<double>(0) << none;
    QTest::addRow("negative altitude") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W>/A=-00079") << 49 + 3.50 / 60
                                       << -(72 + 1.75 / 60) << 0 << "/>" << none << none
                                       << std::optional<double>(-79 * 0.3048);
    QTest::addRow("'!' late in the field")
        << QByteArray("N0CALL>APRS:hoponassualku!6028.51S/02505.68W#") << -(60 + 28.51 / 60) << -(25 + 5.68 / 60) << 0
        << "/#" << none << none << none;
    // /5L!!<*e7>7P[: latitude 90 - (20*91^3 + 43*91^2)/380926 = 49.5, longitude
    // -180 + (27*91^3 + 9*91^2 + 68*91 + 22)/190463, a hair west of -72.75;
    // '7' = 22 -> 88 degrees, 'P' = 47 -> 1.08^47 - 1 knots.
    const double compressedLon = -180 + (27 * 753571.0 + 9 * 8281.0 + 68 * 91.0 + 22) / 190463;
    QTest::addRow("compressed with course and speed")
        << QByteArray("N0CALL>APRS:=/5L!!<*e7>7P[") << 49.5 << compressedLon << 0 << "/>"
        << std::optional<double>((std::pow(1.08, 47) - 1) * knot) << std::optional<double>(88) << none;
    // "S]" with type 'S' (0x10 set in the GGA bits): 1.002^(50*91 + 60) feet.
    QTest::addRow("compressed with altitude")
        << QByteArray("N0CALL>APRS:!/5L!!<*e7>S]S") << 49.5 << compressedLon << 0 << "/>" << none << none
        << std::optional<double>(std::pow(1.002, 50 * 91 + 60) * 0.3048);
    QTest::addRow("compressed, overlay a means 0")
        << QByteArray("N0CALL>APRS:!a5L!!<*e7#  A") << 49.5 << compressedLon << 0 << "0#" << none << none << none;
    QTest::addRow("NMEA RMC with checksum")
        << QByteArray("N0CALL>APRS:$GPRMC,145526,A,3349.0378,N,08406.2617,W,23.726,27.9,121207,4.9,W*7A")
        << 33 + 49.0378 / 60 << -(84 + 6.2617 / 60) << 0 << "//" << std::optional<double>(23.726 * knot)
        << std::optional<double>(28) << none;
    QTest::addRow("NMEA GGA with altitude, lower-case checksum")
        << QByteArray("N0CALL>GPSLJ:$GPGGA,123519,4807.038,N,01131.000,E,1,08,1.0,545.4,M,46.9,M,,*4f")
        << 48 + 7.038 / 60 << 11 + 31.0 / 60 << 0 << "/j" << none << none << std::optional<double>(545.4);
    QTest::addRow("DAO adds a digit to each minute")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-!W59!") << 49 + 3.505 / 60 << -(72 + 1.759 / 60) << 0 << "/-"
        << none << none << none;
}

void TestAprsDecoder::positions()
{
    QFETCH(QByteArray, line);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(int, ambiguity);
    QFETCH(QString, symbol);
    QFETCH(std::optional<double>, speedKmh);
    QFETCH(std::optional<double>, courseDeg);
    QFETCH(std::optional<double>, altitudeM);

    const aprs::Packet p = decodeBytes(line);
    QVERIFY2(p.ok(), p.error);
    QVERIFY(p.hasPosition);
    QVERIFY2(std::fabs(p.latitudeDeg - latitude) < 1e-9, qPrintable(QString::number(p.latitudeDeg, 'f', 10)));
    QVERIFY2(std::fabs(p.longitudeDeg - longitude) < 1e-9, qPrintable(QString::number(p.longitudeDeg, 'f', 10)));
    QCOMPARE(p.ambiguity, ambiguity);
    QCOMPARE(QString(p.symbolTable) + p.symbolCode, symbol);
    QCOMPARE(p.speedKmh.has_value(), speedKmh.has_value());
    if (speedKmh)
        QVERIFY2(std::fabs(*p.speedKmh - *speedKmh) < 1e-9, qPrintable(QString::number(*p.speedKmh)));
    QCOMPARE(p.courseDeg, courseDeg);
    QCOMPARE(p.altitudeM.has_value(), altitudeM.has_value());
    if (altitudeM)
        QVERIFY2(std::fabs(*p.altitudeM - *altitudeM) < 1e-9, qPrintable(QString::number(*p.altitudeM)));
}

void TestAprsDecoder::micE_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<int>("ambiguity");
    QTest::addColumn<QString>("message");
    QTest::addColumn<std::optional<double>>("altitudeM");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QString>("radio");

    // S32U6T: digits 3 3 2 5 6 4 -> 33 25.64; 'U' north, '6' no offset, 'T'
    // west; message bits S,3,2 = 1,0,0 "Returning". Body: 'd' = 72 degrees,
    // 'Y' = 1 minute (0-9 are sent +88), 'g' = .75; 0x1E 0x1E 'O' = 20 knots, 251 degrees.
    const QByteArray body("`dYg\x1e\x1eO>/");
    const double lat = 33 + 25.64 / 60;
    const double lon = -(72 + 1.75 / 60);
    // The plain position is the vectors' and the sample's to check; a row
    // checks it only where it is the row's point (ambiguity, DAO, message bits).
    const double any = std::nan("");
    const std::optional<double> metres61(61);
    QTest::addRow("current Mic-E with control bytes")
        << QByteArray("N0CALL>S32U6T:" + body + "Hello") << any << any << 0 << "Returning" << none << "Hello"
        << "";
    // '"4T' = 1*91^2 + 19*91 + 51 - 10000 = 61 m; ']' is the radio type before it.
    QTest::addRow("Kenwood TM-D700: type byte, altitude")
        << QByteArray("N0CALL>S32U6T:" + body + "]\"4T}Hello") << any << any << 0 << "Returning" << metres61 << "Hello"
        << "Kenwood TM-D700";
    QTest::addRow("Kenwood TM-D710: '=' at the end")
        << QByteArray("N0CALL>S32U6T:" + body + "]\"4T}Hello=") << any << any << 0 << "Returning" << metres61 << "Hello"
        << "Kenwood TM-D710";
    // As a TM-D710 was heard on the air: its text filled to length with 0xFF
    // before the '=' and a CR. '"48}' = 8281 + 19*91 + 23 - 10000 = 33 m.
    QTest::addRow("Kenwood TM-D710: 0xFF fill before '=' is no text")
        << QByteArray("N0CALL>S32U6T:" + body + "]\"48}449.225MHz" + QByteArray(28, '\xff') + "=\r") << any << any << 0
        << "Returning" << std::optional<double>(33) << "449.225MHz"
        << "Kenwood TM-D710";
    QTest::addRow("Kenwood TM-D710: fill only is no comment")
        << QByteArray("N0CALL>S32U6T:" + body + "]" + QByteArray(8, '\xff') + "=") << any << any << 0 << "Returning"
        << none << ""
        << "Kenwood TM-D710";
    QTest::addRow("Kenwood TM-D710 with nothing typed")
        << QByteArray("N0CALL>S32U6T:" + body + "]=") << any << any << 0 << "Returning" << none << ""
        << "Kenwood TM-D710";
    QTest::addRow("Kenwood TH-D7A without altitude")
        << QByteArray("N0CALL>S32U6T:" + body + ">Hello") << any << any << 0 << "Returning" << none << "Hello"
        << "Kenwood TH-D7A";
    QTest::addRow("Kenwood TH-D72") << QByteArray("N0CALL>S32U6T:" + body + ">Hello=") << any << any << 0 << "Returning"
                                    << none << "Hello"
                                    << "Kenwood TH-D72";
    QTest::addRow("Kenwood TH-D74") << QByteArray("N0CALL>S32U6T:" + body + ">Hello^") << any << any << 0 << "Returning"
                                    << none << "Hello"
                                    << "Kenwood TH-D74";
    QTest::addRow("Yaesu FTM-400DR: '`', altitude, \"_%%\"") << QByteArray("N0CALL>S32U6T:" + body + "`\"4T}Hello_%")
                                                             << any << any << 0 << "Returning" << metres61 << "Hello"
                                                             << "Yaesu FTM-400DR";
    QTest::addRow("Yaesu VX-8: the code ends in a blank")
        << QByteArray("N0CALL>S32U6T:" + body + "`Hello_ ") << any << any << 0 << "Returning" << none << "Hello"
        << "Yaesu VX-8";
    QTest::addRow("Byonics TinyTrak3 without messaging")
        << QByteArray("N0CALL>S32U6T:" + body + "'Hi|3") << any << any << 0 << "Returning" << none << "Hi"
        << "Byonics TinyTrak3";
    // "!w66!": '6' - 33 = 21/91 of a hundredth of a minute more on each.
    QTest::addRow("device code after altitude and DAO")
        << QByteArray("N0CALL>S32U6T:" + body + "'\"4T}Hi!w66!|3") << lat + 21 / 91.0 * 0.01 / 60
        << lon - 21 / 91.0 * 0.01 / 60 << 0 << "Returning" << metres61 << "Hi"
        << "Byonics TinyTrak3";
    QTest::addRow("unknown two-byte code stays in the comment")
        << QByteArray("N0CALL>S32U6T:" + body + "`Hello ab") << any << any << 0 << "Returning" << none << "Hello ab"
        << "";
    QTest::addRow("unknown type byte recognised by the altitude")
        << QByteArray("N0CALL>S32U6T:" + body + "Y\"4T}Hi") << any << any << 0 << "Returning" << metres61 << "Hi"
        << "";
    QTest::addRow("old Mic-E data type") << QByteArray("N0CALL>S32U6T:'" + body.mid(1)) << any << any << 0
                                         << "Returning" << none << ""
                                         << "";
    QTest::addRow("SSID on the destination")
        << QByteArray("N0CALL>S32U6T-3,WIDE2-1:" + body) << any << any << 0 << "Returning" << none << ""
        << "";
    // 'P' as the fifth byte is digit 0 with the longitude offset: 72 + 100 degrees.
    QTest::addRow("longitude offset with digit 0") << QByteArray("N0CALL>S32UPT:" + body) << 33 + 25.04 / 60
                                                   << -(172 + 1.75 / 60) << 0 << "Returning" << none << ""
                                                   << "";
    // Blanked digits (K, L, Z) leave the centre of the box, in latitude and longitude alike.
    // Z as the last byte: 33 25.6x -> 33 25.65; the longitude's hundredths .75 -> .7x -> .75.
    QTest::addRow("ambiguity 1 in the destination")
        << QByteArray("N0CALL>S32U6Z:" + body) << 33 + 25.65 / 60 << -(72 + 1.75 / 60) << 1 << "Returning" << none << ""
        << "";
    // L and Z blank the last two digits (33 25.xx -> 33 25.50), Z still says west.
    QTest::addRow("ambiguity 2 in the destination")
        << QByteArray("N0CALL>S32ULZ:" + body) << 33 + 25.5 / 60 << -(72 + 1.5 / 60) << 2 << "Returning" << none << ""
        << "";
    // 33 2x.xx -> 33 25.00; longitude 72 0x.xx -> 72 05.00.
    QTest::addRow("ambiguity 3 in the destination")
        << QByteArray("N0CALL>S32ZLZ:" + body) << 33 + 25.0 / 60 << -(72 + 5.0 / 60) << 3 << "Returning" << none << ""
        << "";
    // 33 xx.xx -> 33 30.00; longitude 72 30.00; bits S,3,Z = 1,0,1.
    QTest::addRow("ambiguity 4 in the destination")
        << QByteArray("N0CALL>S3ZZLZ:" + body) << 33.5 << -72.5 << 4 << "In Service" << none << ""
        << "";
    // PPP = bits 1,1,1 "Off Duty"; A = custom bit with digit 0.
    QTest::addRow("standard bits: Off Duty")
        << QByteArray("N0CALL>PPPU6T:" + body) << 0 + 5.64 / 60 << any << 0 << "Off Duty" << none << ""
        << "";
    QTest::addRow("all zero bits: Emergency")
        << QByteArray("N0CALL>000U6T:" + body) << 0 + 5.64 / 60 << any << 0 << "Emergency" << none << ""
        << "";
    QTest::addRow("custom bits: Custom-0")
        << QByteArray("N0CALL>AAAU6T:" + body) << 0 + 5.64 / 60 << any << 0 << "Custom-0" << none << ""
        << "";
    QTest::addRow("standard and custom mixed")
        << QByteArray("N0CALL>APAU6T:" + body) << 0 + 5.64 / 60 << any << 0 << "Unknown" << none << ""
        << "";
}

void TestAprsDecoder::micE()
{
    QFETCH(QByteArray, line);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(int, ambiguity);
    QFETCH(QString, message);
    QFETCH(std::optional<double>, altitudeM);
    QFETCH(QString, comment);
    QFETCH(QString, radio);

    const aprs::Packet p = decodeBytes(line);
    QVERIFY2(p.ok(), p.error);
    QCOMPARE(p.kind, aprs::PacketKind::MicE);
    QCOMPARE(p.positionFormat, aprs::PositionFormat::MicE);
    if (!std::isnan(latitude))
        QVERIFY2(std::fabs(p.latitudeDeg - latitude) < 1e-9, qPrintable(QString::number(p.latitudeDeg, 'f', 10)));
    if (!std::isnan(longitude))
        QVERIFY2(std::fabs(p.longitudeDeg - longitude) < 1e-9, qPrintable(QString::number(p.longitudeDeg, 'f', 10)));
    QCOMPARE(p.ambiguity, ambiguity);
    QCOMPARE(p.micEMessage, message);
    QCOMPARE(p.speedKmh, std::optional<double>(20 * knot));
    QCOMPARE(p.courseDeg, std::optional<double>(251));
    QCOMPARE(QString(p.symbolTable) + p.symbolCode, QStringLiteral("/>"));
    QCOMPARE(p.altitudeM, altitudeM);
    QCOMPARE(p.comment, comment);
    QCOMPARE(p.radioModel, radio);
    if (!comment.isEmpty())
        QVERIFY(p.information.mid(p.commentOffset).startsWith(comment));
}

void TestAprsDecoder::objectsAndItems_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<aprs::PacketKind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<QString>("comment");

    QTest::addRow("live object") << QByteArray("N0CALL>APRS:;LEADER   *092345z4903.50N/07201.75W>088/036Net")
                                 << aprs::PacketKind::Object << "LEADER   " << true << "Net";
    QTest::addRow("killed compressed object") << QByteArray("N0CALL>APRS:;LEADER   _092345z/5L!!<*e7>7P[")
                                              << aprs::PacketKind::Object << "LEADER   " << false << "";
    QTest::addRow("killed item") << QByteArray("N0CALL>APRS:)AID #2_4903.50N/07201.75WAFirst aid")
                                 << aprs::PacketKind::Item << "AID #2" << false << "First aid";
}

void TestAprsDecoder::objectsAndItems()
{
    QFETCH(QByteArray, line);
    QFETCH(aprs::PacketKind, kind);
    QFETCH(QString, name);
    QFETCH(bool, alive);
    QFETCH(QString, comment);

    const aprs::Packet p = decodeBytes(line);
    QVERIFY2(p.ok(), p.error);
    QCOMPARE(p.kind, kind);
    QCOMPARE(p.objectName, name);
    QCOMPARE(p.alive, alive);
    QCOMPARE(p.source, QStringLiteral("N0CALL"));
    QVERIFY(p.hasPosition);  // its value is the positions table's concern
    QCOMPARE(p.comment, comment);
}

void TestAprsDecoder::weather_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<double>>("windDirectionDeg");
    QTest::addColumn<std::optional<double>>("windSpeedMs");
    QTest::addColumn<std::optional<double>>("tempC");
    QTest::addColumn<std::optional<double>>("humidityPercent");
    QTest::addColumn<std::optional<double>>("pressureHpa");
    QTest::addColumn<std::optional<double>>("rain1hMm");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QString>("sensors");

    const auto v = [](double x) { return std::optional<double>(x); };
    QTest::addRow("position with weather")
        << QByteArray("N0CALL>APRS:@092345z4903.50N/07201.75W_220/004g005t077r001p002P003h50b09900wRSW") << v(220)
        << v(4 * 0.44704) << v((77 - 32) * 5.0 / 9) << v(50) << v(990.0) << v(0.254) << ""
        << "";
    // The software type 'e' and unit type "MB62" end the report: no comment.
    QTest::addRow("software and unit tag eMB62 is no comment")
        << QByteArray("N0CALL>APRS:_10090556c220s004g005t077h50b09900eMB62") << v(220) << v(4 * 0.44704) << v(25)
        << v(50) << v(990.0) << none << ""
        << "";
    // Five digits of tenths of hPa and a sixth, the hundredths; the humidity after it is read.
    QTest::addRow("six-digit barometer b100725, then humidity")
        << QByteArray("N0CALL>APRS:@092345z4903.50N/07201.75W_220/004g005t077b100725h01") << v(220) << v(4 * 0.44704)
        << v(25) << v(1) << v(1007.25) << none << ""
        << "";
    QTest::addRow("positionless weather")
        << QByteArray("N0CALL>APRS:_10090556c220s004g005t-05r000p000P000h00b10132") << v(220) << v(4 * 0.44704)
        << v((-5 - 32) * 5.0 / 9) << v(100) << v(1013.2) << v(0) << ""
        << "";
    QTest::addRow("missing readings are absent")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W_.../...g...t050r...p...P...h..b.....") << none << none
        << v((50 - 32) * 5.0 / 9) << none << none << none << ""
        << "";
    // The cs bytes of a compressed weather station: '7' = 88 degrees, 'P' = 1.08^47 - 1 knots.
    QTest::addRow("compressed weather carries wind")
        << QByteArray("N0CALL>APRS:=/5L!!<*e7_7P[t077") << v(88) << v((std::pow(1.08, 47) - 1) * 1852 / 3600) << v(25)
        << none << none << none << ""
        << "";
    // F: tenths of a foot; V: tenths of a volt; X: 12 x 10^3 nSv/h; #: raw rain count.
    QTest::addRow("water level, battery, radiation, rain count")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W_.../...t050F-012V128X123#045") << none << none
        << v((50 - 32) * 5.0 / 9) << none << none << none << ""
        << "F -0.36576 V 12.8 X 12000 # 45";
    QTest::addRow("battery in volts with a point") << QByteArray("N0CALL>APRS:_10090556c...s...t050V13.8") << none
                                                   << none << v((50 - 32) * 5.0 / 9) << none << none << none << ""
                                                   << "V 13.8";
    QTest::addRow("humidity past 100 stays in the comment")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W_.../...t050h150") << none << none << v((50 - 32) * 5.0 / 9)
        << none << none << none << "h150"
        << "";
    QTest::addRow("two letters after the readings are a comment, no tag")
        << QByteArray("N0CALL>APRS:_10090556c220s004t077Hi") << v(220) << v(4 * 0.44704) << v(25) << none << none
        << none << "Hi"
        << "";
    QTest::addRow("b00000 is no barometer") << QByteArray("N0CALL>APRS:_10090556c220s004t077b00000") << v(220)
                                            << v(4 * 0.44704) << v(25) << none << none << none << ""
                                            << "";
    QTest::addRow("'/' in place of the wind speed's 's'")
        << QByteArray("N0CALL>APRS:_10090556c220/004g005t077h50") << v(220) << v(4 * 0.44704) << v(25) << v(50) << none
        << none << ""
        << "";
}

void TestAprsDecoder::weather()
{
    QFETCH(QByteArray, line);
    QFETCH(std::optional<double>, windDirectionDeg);
    QFETCH(std::optional<double>, windSpeedMs);
    QFETCH(std::optional<double>, tempC);
    QFETCH(std::optional<double>, humidityPercent);
    QFETCH(std::optional<double>, pressureHpa);
    QFETCH(std::optional<double>, rain1hMm);
    QFETCH(QString, comment);
    QFETCH(QString, sensors);

    const aprs::Packet p = decodeBytes(line);
    QVERIFY2(p.ok(), p.error);
    QVERIFY(p.hasWeather);
    auto same = [](std::optional<double> a, std::optional<double> b) {
        return a.has_value() == b.has_value() && (!a || std::fabs(*a - *b) < 1e-9);
    };
    const aprs::WeatherReport &w = p.weather;
    QVERIFY(same(w.windDirectionDeg, windDirectionDeg));
    QVERIFY2(same(w.windSpeedMs, windSpeedMs), qPrintable(QString::number(w.windSpeedMs.value_or(-1))));
    QVERIFY2(same(w.tempC, tempC), qPrintable(QString::number(w.tempC.value_or(-1))));
    QVERIFY(same(w.humidityPercent, humidityPercent));
    QVERIFY(same(w.pressureHpa, pressureHpa));
    QVERIFY(same(w.rain1hMm, rain1hMm));
    QCOMPARE(p.comment, comment);
    QStringList sensorText;
    for (const auto &[letter, reading] : {std::pair {"F", w.waterLevelM}, std::pair {"V", w.batteryVolts},
             std::pair {"X", w.radiationNsvPerHour}, std::pair {"#", w.rainCounter}}) {
        if (reading)
            sensorText << QString::fromLatin1(letter) + QLatin1Char(' ') + QString::number(*reading);
    }
    QCOMPARE(sensorText.join(QLatin1Char(' ')), sensors);
    QVERIFY(!p.speedKmh && !p.courseDeg);
}

void TestAprsDecoder::comments_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("information");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<int>("commentOffset");
    QTest::addColumn<QString>("extension");

    const QString pos = QStringLiteral("!4903.50N/07201.75W-");
    QTest::addRow("plain comment") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-Hello") << pos + "Hello"
                                   << "Hello" << 20 << "";
    QTest::addRow("no comment: offset at the end")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-") << pos << "" << 20 << "";
    QTest::addRow("blanks only are no comment") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-   ") << pos + "   "
                                                << "" << 23 << "";
    QTest::addRow("trailing CR LF ignored") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-Hello\r\n") << pos + "Hello"
                                            << "Hello" << 20 << "";
    QTest::addRow("comment after course and speed")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W>088/036 Mobile") << "!4903.50N/07201.75W>088/036 Mobile"
        << "Mobile" << 27 << "";
    QTest::addRow("altitude taken out of the comment")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W>Up /A=001234 here") << pos.chopped(1) + ">Up /A=001234 here"
        << "Up  here" << 20 << "";
    QTest::addRow("altitude alone is no comment")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W>/A=001234") << pos.chopped(1) + ">/A=001234"
        << "" << 29 << "";
    QTest::addRow("Latin-1 comment byte")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-m\xe9t\xe9o") << pos + QString::fromUtf8("m\u00e9t\u00e9o")
        << QString::fromUtf8("m\u00e9t\u00e9o") << 20 << "";
    QTest::addRow("UTF-8 comment") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-m\xc3\xa9t\xc3\xa9o")
                                   << pos + QString::fromUtf8("m\u00e9t\u00e9o") << QString::fromUtf8("m\u00e9t\u00e9o")
                                   << 20 << "";
    QTest::addRow("overlong UTF-8 is read as Latin-1")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-\xc0\xaf") << pos + QString::fromLatin1("\xc0\xaf")
        << QString::fromLatin1("\xc0\xaf") << 20 << "";
    QTest::addRow("offset counts UTF-16 units before a late position")
        << QByteArray("N0CALL>APRS:h\xc3\xa9llo!4903.50N/07201.75W-Hi") << QString::fromUtf8("h\u00e9llo") + pos + "Hi"
        << "Hi" << 25 << "";
    QTest::addRow("offset counts a surrogate pair") << QByteArray("N0CALL>APRS:\xf0\x9f\x93\xa1!4903.50N/07201.75W-Hi")
                                                    << QString::fromUtf8("\U0001F4E1") + pos + "Hi"
                                                    << "Hi" << 22 << "";
    QTest::addRow("control bytes kept in information, dropped from comment")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-Te\x07st\x7f") << pos + QString::fromLatin1("Te\x07st\x7f")
        << "Test" << 20 << "";
    QTest::addRow("status text") << QByteArray("N0CALL>APRS:>Net Control") << ">Net Control"
                                 << "" << 12 << "";
    QTest::addRow("message has no comment") << QByteArray("N0CALL>APRS::WU2Z     :Hi{1") << ":WU2Z     :Hi{1"
                                            << "" << 15 << "";
    // What the decoder reads from a data extension is reported and left out of the comment.
    QTest::addRow("PHG") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W#PHG7220/Digi")
                         << "!4903.50N/07201.75W#PHG7220/Digi"
                         << "Digi" << 27 << "phg 7220";
    QTest::addRow("PHG after the weather symbol")
        << QByteArray("DC8LV>APU25N,TCPIP*,qAC,T2NUERNBG:=5354.24N/00932.85E_PHG4460/Home Station {UIV32}")
        << "=5354.24N/00932.85E_PHG4460/Home Station {UIV32}"
        << "Home Station {UIV32}" << 27 << "phg 4460";
    QTest::addRow("RNG") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W#RNG0050 Digi")
                         << "!4903.50N/07201.75W#RNG0050 Digi"
                         << "Digi" << 27 << "range 80.4672";
    QTest::addRow("DFS") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W\\DFS2360Fox")
                         << "!4903.50N/07201.75W\\DFS2360Fox"
                         << "Fox" << 27 << "dfs 2360";
    QTest::addRow("DF report: bearing and NRQ") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W\\088/036/270/729Fox")
                                                << "!4903.50N/07201.75W\\088/036/270/729Fox"
                                                << "Fox" << 35 << "bearing 270 nrq 729";
    QTest::addRow("bearing 000 is no bearing") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W\\088/036/000/729Fox")
                                               << "!4903.50N/07201.75W\\088/036/000/729Fox"
                                               << "000/729Fox" << 27 << "";
    QTest::addRow("BRG/NRQ only after the DF symbol")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W>088/036/270/729Fox") << "!4903.50N/07201.75W>088/036/270/729Fox"
        << "270/729Fox" << 27 << "";
}

// The information field is kept whole; commentOffset points into it, in
// QString units, where the comment begins. What the decoder reads from a data
// extension is reported; the rest of the packet is the comment.
void TestAprsDecoder::comments()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, information);
    QFETCH(QString, comment);
    QFETCH(int, commentOffset);
    QFETCH(QString, extension);

    const aprs::Packet p = decodeBytes(line);
    QVERIFY2(p.ok(), p.error);
    QCOMPARE(p.information, information);
    QCOMPARE(p.comment, comment);
    QCOMPARE(p.commentOffset, commentOffset);
    QVERIFY(invariantBreak(p).isEmpty());
    QStringList found;
    if (!p.phg.isEmpty())
        found << QStringLiteral("phg ") + p.phg;
    if (p.radioRangeKm)
        found << QStringLiteral("range ") + QString::number(*p.radioRangeKm);
    if (!p.dfs.isEmpty())
        found << QStringLiteral("dfs ") + p.dfs;
    if (p.dfBearingDeg)
        found << QStringLiteral("bearing %1 nrq %2").arg(*p.dfBearingDeg).arg(p.dfNrq);
    QCOMPARE(found.join(QLatin1Char(' ')), extension);
}

void TestAprsDecoder::thirdParty()
{
    const aprs::Packet p = decodeBytes("N0CALL>APRS,WIDE2-1:}W1AW-5>APDW17,TCPIP,N0CALL*:>Inner status");
    QVERIFY2(p.ok(), p.error);
    QCOMPARE(p.kind, aprs::PacketKind::Status);
    QCOMPARE(p.source, QStringLiteral("W1AW-5"));
    QCOMPARE(p.destination, QStringLiteral("APDW17"));
    QCOMPARE(p.path, (std::vector<QStringView> {u"TCPIP", u"N0CALL*"}));
    QCOMPARE(p.header, QStringLiteral("W1AW-5>APDW17,TCPIP,N0CALL*"));
    QCOMPARE(p.information, QStringLiteral(">Inner status"));
    QCOMPARE(p.statusText, QStringLiteral("Inner status"));

    const aprs::Packet nested = decodeBytes("A>B:}C>D:}W1AW>S32U6T:`dYg\x1e\x1eO>/");
    QVERIFY2(nested.ok(), nested.error);
    QCOMPARE(nested.kind, aprs::PacketKind::MicE);
    QCOMPARE(nested.source, QStringLiteral("W1AW"));
    QVERIFY(nested.hasPosition);
}

void TestAprsDecoder::messages_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("addressee");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("ack");
    QTest::addColumn<QString>("status");

    QTest::addRow("message with id") << QByteArray("N0CALL>APRS::WU2Z     :Testing{003") << "WU2Z"
                                     << "Testing"
                                     << "003"
                                     << ""
                                     << "";
    QTest::addRow("reply-ack") << QByteArray("N0CALL>APRS::WU2Z     :Testing{03}01") << "WU2Z"
                               << "Testing"
                               << "03"
                               << "01"
                               << "";
    QTest::addRow("ack") << QByteArray("N0CALL>APRS::WU2Z     :ack003") << "WU2Z"
                         << ""
                         << ""
                         << "003"
                         << "";
    QTest::addRow("message cut at a NUL byte")
        << QByteArray("N0CALL>APRS::WU2Z     :Testing{003\0\x01garbage", 43) << "WU2Z"
        << "Testing"
        << "003"
        << ""
        << "";
    QTest::addRow("UTF-8 message") << QByteArray("N0CALL>APRS::WU2Z     :\xd1\x81\xd1\x82") << "WU2Z"
                                   << QString::fromUtf8("\u0441\u0442") << ""
                                   << ""
                                   << "";
    QTest::addRow("status without time stamp") << QByteArray("N0CALL>APRS:>Net Control ") << ""
                                               << ""
                                               << ""
                                               << ""
                                               << "Net Control";
    QTest::addRow("status with DHM time stamp") << QByteArray("N0CALL>APRS:>092345zNet Control") << ""
                                                << ""
                                                << ""
                                                << ""
                                                << "Net Control";
    QTest::addRow("status with a Latin-1 degree sign") << QByteArray("N0CALL>APRS:>20\xb0"
                                                                     "C")
                                                       << ""
                                                       << ""
                                                       << ""
                                                       << "" << QString::fromUtf8("20\u00b0C");
}

void TestAprsDecoder::messages()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, addressee);
    QFETCH(QString, text);
    QFETCH(QString, id);
    QFETCH(QString, ack);
    QFETCH(QString, status);

    const aprs::Packet p = decodeBytes(line);
    QVERIFY2(p.ok(), p.error);
    QCOMPARE(p.addressee, addressee);
    QCOMPARE(p.messageText, text);
    QCOMPARE(p.messageId, id);
    QCOMPARE(p.messageAck, ack);
    QCOMPARE(p.statusText, status);
}

// Inputs the fuzzer (scripts/fuzz.sh) found to break a promise of the
// decoder, kept so the fault stays fixed.
void TestAprsDecoder::fuzzFindings_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<double>>("courseDeg");

    // '/' as the speed/course byte gives a hundreds digit of 9: course 920 - 400 = 520.
    QTest::addRow("Mic-E course hundreds digit 9")
        << QByteArray("OH7LZB-13>SX15S6,TCPIP*,qAC,FOURTH:'I088/036|!wEU!![S|") << std::optional<double>(0);
    // J6QTUX: latitude digits 9 6 1 4 5 8, 96 degrees north; rejected, so no course.
    QTest::addRow("Mic-E latitude 96 degrees")
        << QByteArray::fromHex("4e3642472d313e4a36515455583a602b2c5e6c2163522f27223b7a7d"
                               "7c7c73733131323233333434626229227c21e766217c32")
        << none;
    // "{{{{" is 91^4 - 1: longitude -180 + 68574960/190463 = 180.04 degrees.
    QTest::addRow("compressed longitude past 180") << QByteArray::fromHex(
        "4f48324b4b552d31303e41505a4d44522c57494445332d322c71416f2c4f48"
        "324d514b2d313a212f2f7a507b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b"
        "7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b7b"
        "48217741625600205465724c2d3838307c212121212121213b212121212121"
        "217c") << none;
    // Humidity word 0x03ED = 1005 tenths: 100.5 % shows as 100 %.
    QTest::addRow("Ultimeter humidity 100.5 percent")
        << QByteArray("N0CLL>1:$ULTW00000000FFEA0000296F000A9663000103EDFS236080016G25D") << none;
    // Words are signed: gust 0xFFEA is -22 tenths of a km/h, not a reading.
    QTest::addRow("Ultimeter negative gust") << QByteArray("N0CALL>APRS:$ULTWFFEA0000029600000000000000000000") << none;
    // "9407.038,E" in the latitude field: 94 degrees passed the east/west bound.
    // A speed of 400 digits is beyond any double: no speed rather than infinity.
    QTest::addRow("NMEA speed of 400 digits") << QByteArray(
        "N0CALL>GPS:$GPRMC,145526,A,3349.0378,N,08406.2617,W," + QByteArray(400, '9') + ",27.9,121207,4.9,W")
                                              << std::optional<double>(28);
    QTest::addRow("NMEA latitude with an E")
        << QByteArray::fromHex("313e503a2447504747412c3133323534312c393430372e3033382c452c3133"
                               "312e3830312c652c312c303842432c47504747412c3132333531392c343430"
                               "372e3033382c452c3132323232323232323232323232323232323232323232"
                               "32323232323232323232323232323232323232323232323232323232323232"
                               "32323232323232323232323232323232ffffffffffffffffffffffffffffff"
                               "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
                               "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
                               "ff32323232323232323232323233312e3830422c4042")
        << none;
}

void TestAprsDecoder::fuzzFindings()
{
    QFETCH(QByteArray, line);
    QFETCH(std::optional<double>, courseDeg);
    const aprs::Packet p = decodeBytes(line);
    const QString broken = invariantBreak(p);
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
    QCOMPARE(p.courseDeg, courseDeg);
    QVERIFY2(p.ok() || documentedCodes().contains(p.error), p.error);
}

// Every prefix of every sample line (a packet cut anywhere) decodes without
// breaking the packet's invariants.
void TestAprsDecoder::everyTruncationKeepsTheInvariants()
{
    QFile sample(QStringLiteral(KELDAN_TEST_DATA "/aprs/aprs-sample.tnc2"));
    QVERIFY2(sample.open(QIODevice::ReadOnly), qPrintable(sample.errorString()));
    const QSet<QByteArray> documented = documentedCodes();
    int decodes = 0;
    for (const QByteArray &line : sample.readAll().split('\n')) {
        for (qsizetype length = 0; length <= line.size(); ++length) {
            const aprs::Packet p = aprs::decode(std::string_view(line.constData(), size_t(length)));
            const QString broken = invariantBreak(p);
            QVERIFY2(broken.isEmpty(),
                qPrintable(QStringLiteral("%1: %2").arg(broken, QString::fromLatin1(line.left(length)))));
            QVERIFY2(p.ok() || documented.contains(p.error), p.error);
            ++decodes;
        }
    }
    QVERIFY(decodes > 100000);
}

// Every field of two packets, as text, for comparing them.
QString fieldsOf(const aprs::Packet &p)
{
    auto n = [](std::optional<double> v) { return v ? QString::number(*v, 'g', 12) : QStringLiteral("-"); };
    const aprs::WeatherReport &w = p.weather;
    QStringList path;
    for (const QStringView e : p.path)
        path << e.toString();
    QStringList telemetry;
    for (const auto &v : p.telemetryValues)
        telemetry << n(v);
    return QStringList {QLatin1String(p.error), QString::number(int(p.kind)), p.source, p.destination, path.join(','),
        p.header, p.information, QString::number(p.hasPosition), QString::number(int(p.positionFormat)),
        QString::number(p.latitudeDeg, 'g', 12), QString::number(p.longitudeDeg, 'g', 12), QString::number(p.ambiguity),
        QString(p.symbolTable) + p.symbolCode, n(p.speedKmh), n(p.courseDeg), n(p.altitudeM),
        QString::number(p.messaging), p.objectName, QString::number(p.alive), p.statusText, p.comment,
        QString::number(p.commentOffset), QString::number(p.hasWeather), n(w.windDirectionDeg), n(w.windSpeedMs),
        n(w.windGustMs), n(w.tempC), n(w.humidityPercent), n(w.pressureHpa), n(w.rain1hMm), n(w.rain24hMm),
        n(w.rainMidnightMm), n(w.snow24hMm), n(w.luminosityWm2), n(w.waterLevelM), n(w.batteryVolts),
        n(w.radiationNsvPerHour), n(w.rainCounter), p.micEMessage, p.radioModel, p.timestamp,
        QString::number(p.positionResolutionM), n(p.radioRangeKm), p.phg, p.dfs, n(p.dfBearingDeg), p.dfNrq, p.micEBits,
        p.addressee, p.messageText, p.messageId, p.messageAck, p.messageRej, p.telemetrySequence, telemetry.join(','),
        p.telemetryBits}
        .join(QLatin1Char('|'));
}

// Decoding into a packet that held another one leaves nothing of the other:
// each sample line after its predecessor, and after its successor.
void TestAprsDecoder::aReusedPacketDecodesAsANewOne()
{
    QFile sample(QStringLiteral(KELDAN_TEST_DATA "/aprs/aprs-sample.tnc2"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = sample.readAll().split('\n');
    for (int pass = 0; pass < 2; ++pass) {
        aprs::Packet reused;
        for (const QByteArray &line : lines) {
            const std::string_view bytes(line.constData(), size_t(line.size()));
            aprs::decode(bytes, reused);
            QCOMPARE(fieldsOf(reused), fieldsOf(aprs::decode(bytes)));
        }
        std::reverse(lines.begin(), lines.end());
    }
}

// The reasons the decoder gives for the sample, the vectors and the cases
// above are all in the list of AprsDecoder.h.
void TestAprsDecoder::everyReasonIsDocumented()
{
    const QSet<QByteArray> documented = documentedCodes();
    QVERIFY(documented.size() > 40);
    QSet<QByteArray> given;
    QFile sample(QStringLiteral(KELDAN_TEST_DATA "/aprs/aprs-sample.tnc2"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    for (const QByteArray &line : sample.readAll().split('\n'))
        given.insert(decodeBytes(line).error);
    const TsvTable vectors(QStringLiteral(KELDAN_TEST_DATA "/aprs/aprs-vectors.tsv"));
    QVERIFY(vectors.error().isEmpty());
    for (qsizetype row = 0; row < vectors.rowCount(); ++row)
        given.insert(decodeBytes(QByteArray::fromHex(vectors.cell(row, "packet_hex"))).error);
    given.remove(QByteArray());
    for (const QByteArray &code : given)
        QVERIFY2(documented.contains(code), code.constData());
}

QTEST_GUILESS_MAIN(TestAprsDecoder)
#include "tst_aprsdecoder.moc"

#include "host/Ax25Decoder.h"
#include "host/KissDeframer.h"

#include <QFile>
#include <QTest>

namespace {

// One AX.25 address as it goes on the air: six characters shifted left, blank
// padded, then 0b0HRSSSSE (H: has been repeated, or the C bit for source and
// destination; R: reserved, set; E: last address).
QByteArray address(const char *callsign, int ssid, bool last = false, bool hBit = false)
{
    QByteArray out;
    const QByteArray call(callsign);
    for (int i = 0; i < 6; ++i)
        out.append(char((i < call.size() ? call.at(i) : ' ') << 1));
    out.append(char(0x60 | (ssid << 1) | (hBit ? 0x80 : 0) | (last ? 1 : 0)));
    return out;
}

QByteArray ui(const QByteArray &addresses, const QByteArray &info, char control = 0x03, char pid = char(0xF0))
{
    return addresses + control + pid + info;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const QByteArray NoLine("<no line>");

}  // namespace

class TestAx25Decoder : public QObject
{
    Q_OBJECT
private slots:
    void decodes_data();
    void decodes();
    void libfapSmoketestFrame();
    void truncatedFramesGiveNoLine();
};

void TestAx25Decoder::decodes_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("line");

    // Captured from Dire Wolf 1.6 KISS output for gen_packets audio.
    QTest::addRow("Dire Wolf frame with a used WIDE1")
        << hex("82a0a4a64040e09c6086829898f2ae92888a6240e0ae92888a64406303f0"
               "2134393033 2e35304e2f30373230312e3735573e546573740a")
        << QByteArray("N0CALL-9>APRS,WIDE1*,WIDE2-1:!4903.50N/07201.75W>Test");
    QTest::addRow("no digipeaters")
        << ui(address("APRS", 0) + address("N0CALL", 0, true), "!info")
        << QByteArray("N0CALL>APRS:!info");
    QTest::addRow("SSID 15 on the source, SSID 0 shows nothing")
        << ui(address("APRS", 0) + address("N0CALL", 15, true), ">hi")
        << QByteArray("N0CALL-15>APRS:>hi");
    QTest::addRow("SSID on the destination")
        << ui(address("APZ", 3) + address("A1B", 1, true), ">") << QByteArray("A1B-1>APZ-3:>");
    QTest::addRow("repeated first digipeater of two")
        << ui(address("APRS", 0) + address("N0CALL", 0) + address("DIGI1", 0, false, true) + address("WIDE2", 2, true),
              "x")
        << QByteArray("N0CALL>APRS,DIGI1*,WIDE2-2:x");
    QTest::addRow("only the last repeated digipeater carries the star")
        << ui(address("APRS", 0) + address("N0CALL", 0) + address("DIGI1", 0, false, true)
                  + address("WIDE1", 0, false, true) + address("WIDE2", 1, true),
              "x")
        << QByteArray("N0CALL>APRS,DIGI1,WIDE1*,WIDE2-1:x");
    QTest::addRow("all digipeaters used")
        << ui(address("APRS", 0) + address("N0CALL", 0) + address("DIGI1", 0, false, true)
                  + address("DIGI2", 5, true, true),
              "x")
        << QByteArray("N0CALL>APRS,DIGI1,DIGI2-5*:x");
    QTest::addRow("C bits of source and destination are no star")
        << ui(address("APRS", 0, false, true) + address("N0CALL", 0, true, true), "x") << QByteArray("N0CALL>APRS:x");
    QTest::addRow("eight digipeaters")
        << ui(address("APRS", 0) + address("N0CALL", 0) + address("D1", 1) + address("D2", 2) + address("D3", 3)
                  + address("D4", 4) + address("D5", 5) + address("D6", 6) + address("D7", 7) + address("D8", 8, true),
              "x")
        << QByteArray("N0CALL>APRS,D1-1,D2-2,D3-3,D4-4,D5-5,D6-6,D7-7,D8-8:x");
    QTest::addRow("nine digipeaters are no AX.25")
        << ui(address("APRS", 0) + address("N0CALL", 0) + address("D1", 1) + address("D2", 2) + address("D3", 3)
                  + address("D4", 4) + address("D5", 5) + address("D6", 6) + address("D7", 7) + address("D8", 8)
                  + address("D9", 9, true),
              "x")
        << NoLine;
    QTest::addRow("UI with the poll bit set")
        << ui(address("APRS", 0) + address("N0CALL", 0, true), "x", 0x13) << QByteArray("N0CALL>APRS:x");
    QTest::addRow("SABM is not UI") << ui(address("APRS", 0) + address("N0CALL", 0, true), "x", 0x3F) << NoLine;
    QTest::addRow("I frame is not UI") << ui(address("APRS", 0) + address("N0CALL", 0, true), "x", 0x00) << NoLine;
    QTest::addRow("NET/ROM PID is not APRS")
        << ui(address("APRS", 0) + address("N0CALL", 0, true), "x", 0x03, char(0xCF)) << NoLine;
    QTest::addRow("one address only") << ui(address("APRS", 0, true), "x") << NoLine;
    QTest::addRow("address field without an end") << address("APRS", 0) + address("N0CALL", 0) << NoLine;
    QTest::addRow("UI without PID") << address("APRS", 0) + address("N0CALL", 0, true) + char(0x03) << NoLine;
    QTest::addRow("punctuation in a callsign")
        << ui(address("AP>S", 0) + address("N0CALL", 0, true), "x") << NoLine;
    QTest::addRow("blank inside a callsign")
        << ui(address("AP S", 0) + address("N0CALL", 0, true), "x") << NoLine;
    QTest::addRow("all-blank callsign") << ui(address("", 0) + address("N0CALL", 0, true), "x") << NoLine;
    QTest::addRow("empty information field")
        << ui(address("APRS", 0) + address("N0CALL", 0, true), "") << QByteArray("N0CALL>APRS:");
    QTest::addRow("information cut at CR")
        << ui(address("APRS", 0) + address("N0CALL", 0, true), ">status\r") << QByteArray("N0CALL>APRS:>status");
    QTest::addRow("information cut at LF inside")
        << ui(address("APRS", 0) + address("N0CALL", 0, true), ">one\ntwo") << QByteArray("N0CALL>APRS:>one");
    const QByteArray micE = QByteArray("`(_fn") + "\x1c\x1c" + ">/]\"4-}";
    QTest::addRow("Mic-E binary bytes kept")
        << ui(address("T2SP0W", 0) + address("N0CALL", 0, true), micE) << QByteArray("N0CALL>T2SP0W:") + micE;
}

void TestAx25Decoder::decodes()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, line);
    const std::optional<QByteArray> got = Ax25Decoder::decodeUiFrame(frame);
    QCOMPARE(got.value_or(NoLine), line);
}

void TestAx25Decoder::libfapSmoketestFrame()
{
    QFile file(QStringLiteral(KELDAN_TEST_DATA "/kiss-frame-libfap-smoketest.hex"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray stream = QByteArray::fromHex(file.readAll().simplified().replace(' ', ""));

    KissDeframer deframer;
    const QList<KissFrame> frames = deframer.feed(stream);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().port, 0);
    const std::optional<QByteArray> line = Ax25Decoder::decodeUiFrame(frames.first().data);
    QVERIFY(line);
    QCOMPARE(*line, QByteArray("OH3RBE-1>APND0Z,WIDE1-1:;OH3NE    *111111z6129.78N/02343.89EyClub mtgs Mo/Th 18-> "
                               "145.750- D-STAR 144.650 APCO P25 434.575 -2.0 NAC293"));
}

// Any prefix of a valid frame that stops inside the address field or before
// the PID gives no line and reads nothing beyond its end (run under ASan).
void TestAx25Decoder::truncatedFramesGiveNoLine()
{
    const QByteArray frame =
        ui(address("APRS", 0) + address("N0CALL", 0) + address("WIDE1", 1, true), "!4903.50N/07201.75W>");
    const qsizetype headerBytes = 3 * 7 + 2;
    for (qsizetype n = 0; n < headerBytes; ++n) {
        const QByteArray cut = frame.first(n);
        QVERIFY2(!Ax25Decoder::decodeUiFrame(QByteArrayView(cut)), qPrintable(QString::number(n)));
    }
    QVERIFY(Ax25Decoder::decodeUiFrame(frame.first(headerBytes)));
}

QTEST_APPLESS_MAIN(TestAx25Decoder)
#include "tst_ax25decoder.moc"

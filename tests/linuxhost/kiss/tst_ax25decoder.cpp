#include "support/Ax25Frames.h"

#include "linuxhost/kiss/Ax25Decoder.h"
#include "linuxhost/kiss/KissDeframer.h"

#include <QFile>
#include <QTest>

namespace {

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
    QTest::addRow("no digipeaters") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), "!info")
                                    << QByteArray("N0CALL>APRS:!info");
    QTest::addRow("SSID 15 on the source, SSID 0 shows nothing")
        << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 15, true), ">hi")
        << QByteArray("N0CALL-15>APRS:>hi");
    QTest::addRow("SSID on the destination")
        << ax25UiFrame(ax25Address("APZ", 3) + ax25Address("A1B", 1, true), ">") << QByteArray("A1B-1>APZ-3:>");
    QTest::addRow("repeated first digipeater of two") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0)
            + ax25Address("DIGI1", 0, false, true) + ax25Address("WIDE2", 2, true),
        "x") << QByteArray("N0CALL>APRS,DIGI1*,WIDE2-2:x");
    QTest::addRow("only the last repeated digipeater carries the star") << ax25UiFrame(ax25Address("APRS", 0)
            + ax25Address("N0CALL", 0) + ax25Address("DIGI1", 0, false, true) + ax25Address("WIDE1", 0, false, true)
            + ax25Address("WIDE2", 1, true),
        "x") << QByteArray("N0CALL>APRS,DIGI1,WIDE1*,WIDE2-1:x");
    QTest::addRow("all digipeaters used") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0)
            + ax25Address("DIGI1", 0, false, true) + ax25Address("DIGI2", 5, true, true),
        "x") << QByteArray("N0CALL>APRS,DIGI1,DIGI2-5*:x");
    QTest::addRow("C bits of source and destination are no star")
        << ax25UiFrame(ax25Address("APRS", 0, false, true) + ax25Address("N0CALL", 0, true, true), "x")
        << QByteArray("N0CALL>APRS:x");
    QTest::addRow("eight digipeaters") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0)
            + ax25Address("D1", 1) + ax25Address("D2", 2) + ax25Address("D3", 3) + ax25Address("D4", 4)
            + ax25Address("D5", 5) + ax25Address("D6", 6) + ax25Address("D7", 7) + ax25Address("D8", 8, true),
        "x") << QByteArray("N0CALL>APRS,D1-1,D2-2,D3-3,D4-4,D5-5,D6-6,D7-7,D8-8:x");
    QTest::addRow("nine digipeaters are no AX.25") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0)
            + ax25Address("D1", 1) + ax25Address("D2", 2) + ax25Address("D3", 3) + ax25Address("D4", 4)
            + ax25Address("D5", 5) + ax25Address("D6", 6) + ax25Address("D7", 7) + ax25Address("D8", 8)
            + ax25Address("D9", 9, true),
        "x") << NoLine;
    QTest::addRow("UI with the poll bit set") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true),
        "x", 0x13) << QByteArray("N0CALL>APRS:x");
    QTest::addRow("SABM is not UI") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), "x", 0x3F)
                                    << NoLine;
    QTest::addRow("I frame is not UI") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), "x",
        0x00) << NoLine;
    QTest::addRow("NET/ROM PID is not APRS")
        << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), "x", 0x03, char(0xCF)) << NoLine;
    QTest::addRow("one address only") << ax25UiFrame(ax25Address("APRS", 0, true), "x") << NoLine;
    QTest::addRow("address field without an end") << ax25Address("APRS", 0) + ax25Address("N0CALL", 0) << NoLine;
    QTest::addRow("UI without PID") << ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true) + char(0x03) << NoLine;
    QTest::addRow("punctuation in a callsign")
        << ax25UiFrame(ax25Address("AP>S", 0) + ax25Address("N0CALL", 0, true), "x") << NoLine;
    QTest::addRow("blank inside a callsign")
        << ax25UiFrame(ax25Address("AP S", 0) + ax25Address("N0CALL", 0, true), "x") << NoLine;
    QTest::addRow("all-blank callsign") << ax25UiFrame(ax25Address("", 0) + ax25Address("N0CALL", 0, true), "x")
                                        << NoLine;
    QTest::addRow("empty information field")
        << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), "") << QByteArray("N0CALL>APRS:");
    QTest::addRow("information cut at CR") << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true),
        ">status\r") << QByteArray("N0CALL>APRS:>status");
    QTest::addRow("information cut at LF inside")
        << ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 0, true), ">one\ntwo")
        << QByteArray("N0CALL>APRS:>one");
    const QByteArray micE = QByteArray("`(_fn") + "\x1c\x1c" + ">/]\"4-}";
    QTest::addRow("Mic-E binary bytes kept") << ax25UiFrame(ax25Address("T2SP0W", 0) + ax25Address("N0CALL", 0, true),
        micE) << QByteArray("N0CALL>T2SP0W:") + micE;
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
    QCOMPARE(*line,
        QByteArray("OH3RBE-1>APND0Z,WIDE1-1:;OH3NE    *111111z6129.78N/02343.89EyClub mtgs Mo/Th 18-> "
                   "145.750- D-STAR 144.650 APCO P25 434.575 -2.0 NAC293"));
}

// Any prefix of a valid frame that stops inside the address field or before
// the PID gives no line and reads nothing beyond its end (run under ASan).
void TestAx25Decoder::truncatedFramesGiveNoLine()
{
    const QByteArray frame = ax25UiFrame(
        ax25Address("APRS", 0) + ax25Address("N0CALL", 0) + ax25Address("WIDE1", 1, true), "!4903.50N/07201.75W>");
    const qsizetype headerBytes = 3 * 7 + 2;
    for (qsizetype n = 0; n < headerBytes; ++n) {
        const QByteArray cut = frame.first(n);
        QVERIFY2(!Ax25Decoder::decodeUiFrame(QByteArrayView(cut)), qPrintable(QString::number(n)));
    }
    QVERIFY(Ax25Decoder::decodeUiFrame(frame.first(headerBytes)));
}

QTEST_APPLESS_MAIN(TestAx25Decoder)
#include "tst_ax25decoder.moc"

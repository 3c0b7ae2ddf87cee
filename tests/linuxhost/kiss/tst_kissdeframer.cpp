#include "linuxhost/kiss/KissDeframer.h"

#include <QTest>

// Frames written as "port:hex" so that a failing row shows what came out.
static QStringList describe(const QList<KissFrame> &frames)
{
    QStringList out;
    for (const KissFrame &frame : frames)
        out << QStringLiteral("%1:%2").arg(frame.port).arg(QString::fromLatin1(frame.data.toHex(' ')));
    return out;
}

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

class TestKissDeframer : public QObject
{
    Q_OBJECT
private slots:
    void deframes_data();
    void deframes();
    void oversizedFrameIsDroppedAndStreamRecovers();
    void largestFrameIsKept();
    void everySplitGivesTheSameFrames();
    void resetForgetsPartialFrame();
};

void TestKissDeframer::deframes_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<int>("ignored");

    QTest::addRow("one data frame on port 0")
        << QList<QByteArray> {hex("c0 00 01 02 03 c0")} << QStringList {"0:01 02 03"} << 0 << 0;
    QTest::addRow("port in the high nibble")
        << QList<QByteArray> {hex("c0 30 41 c0 c0 f0 42 c0")} << QStringList {"3:41", "15:42"} << 0 << 0;
    QTest::addRow("FESC TFEND is a FEND byte")
        << QList<QByteArray> {hex("c0 00 41 db dc 42 c0")} << QStringList {"0:41 c0 42"} << 0 << 0;
    QTest::addRow("FESC TFESC is a FESC byte")
        << QList<QByteArray> {hex("c0 00 41 db dd 42 c0")} << QStringList {"0:41 db 42"} << 0 << 0;
    QTest::addRow("escaped bytes at both ends")
        << QList<QByteArray> {hex("c0 00 db dc db dd c0")} << QStringList {"0:c0 db"} << 0 << 0;
    QTest::addRow("FESC followed by another byte drops the frame")
        << QList<QByteArray> {hex("c0 00 41 db 41 42 c0 00 43 c0")} << QStringList {"0:43"} << 1 << 0;
    QTest::addRow("FESC right before FEND drops the frame")
        << QList<QByteArray> {hex("c0 00 41 db c0 00 43 c0")} << QStringList {"0:43"} << 1 << 0;
    QTest::addRow("back-to-back frames sharing one FEND")
        << QList<QByteArray> {hex("c0 00 41 c0 00 42 c0 00 43 c0")} << QStringList {"0:41", "0:42", "0:43"} << 0 << 0;
    QTest::addRow("back-to-back frames with FEND pairs")
        << QList<QByteArray> {hex("c0 00 41 c0 c0 00 42 c0")} << QStringList {"0:41", "0:42"} << 0 << 0;
    QTest::addRow("idle FENDs are no frames")
        << QList<QByteArray> {hex("c0 c0 c0 c0 00 41 c0 c0")} << QStringList {"0:41"} << 0 << 0;
    QTest::addRow("frame split in the middle")
        << QList<QByteArray> {hex("c0 00 41"), hex("42 43 c0")} << QStringList {"0:41 42 43"} << 0 << 0;
    QTest::addRow("escape split between reads")
        << QList<QByteArray> {hex("c0 00 41 db"), hex("dc 42 c0")} << QStringList {"0:41 c0 42"} << 0 << 0;
    QTest::addRow("type byte in its own read")
        << QList<QByteArray> {hex("c0"), hex("10"), hex("41 c0")} << QStringList {"1:41"} << 0 << 0;
    QTest::addRow("frame not closed yet gives nothing")
        << QList<QByteArray> {hex("c0 00 41 42")} << QStringList {} << 0 << 0;
    QTest::addRow("bytes before the first FEND are skipped")
        << QList<QByteArray> {hex("00 99 98 c0 00 41 c0")} << QStringList {"0:41"} << 0 << 0;
    QTest::addRow("TX delay command is ignored")
        << QList<QByteArray> {hex("c0 01 32 c0 00 41 c0")} << QStringList {"0:41"} << 0 << 1;
    QTest::addRow("commands on other ports are ignored")
        << QList<QByteArray> {hex("c0 21 32 c0 c0 26 01 c0 c0 ff c0")} << QStringList {} << 0 << 3;
    QTest::addRow("data frame without data is dropped")
        << QList<QByteArray> {hex("c0 00 c0 c0 00 41 c0")} << QStringList {"0:41"} << 1 << 0;
}

void TestKissDeframer::deframes()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QStringList, frames);
    QFETCH(int, dropped);
    QFETCH(int, ignored);

    KissDeframer deframer;
    QList<KissFrame> out;
    for (const QByteArray &read : reads)
        out << deframer.feed(read);
    QCOMPARE(describe(out), frames);
    QCOMPARE(deframer.droppedFrames(), dropped);
    QCOMPARE(deframer.ignoredFrames(), ignored);
}

void TestKissDeframer::oversizedFrameIsDroppedAndStreamRecovers()
{
    KissDeframer deframer;
    QByteArray stream = hex("c0 00");
    stream += QByteArray(KissDeframer::MaxFrameBytes + 1, 'A');
    stream += hex("c0 00 42 c0");
    const QList<KissFrame> frames = deframer.feed(stream);
    QCOMPARE(describe(frames), QStringList {"0:42"});
    QCOMPARE(deframer.overlongFrames(), 1);
    QCOMPARE(deframer.droppedFrames(), 0);
}

void TestKissDeframer::largestFrameIsKept()
{
    KissDeframer deframer;
    const QByteArray body(KissDeframer::MaxFrameBytes, 'A');
    const QList<KissFrame> frames = deframer.feed(hex("c0 00") + body + hex("c0"));
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().data, body);
}

// Whatever the TCP reads look like, the frames are the same.
void TestKissDeframer::everySplitGivesTheSameFrames()
{
    const QByteArray stream = hex("c0 00 41 db dc 42 c0 c0 10 db dd c0 c0 01 05 c0 c0 20 43 44 45 c0");
    const QStringList expected {"0:41 c0 42", "1:db", "2:43 44 45"};
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        for (qsizetype cut2 = cut; cut2 <= stream.size(); ++cut2) {
            KissDeframer deframer;
            QList<KissFrame> out = deframer.feed(stream.first(cut));
            out << deframer.feed(stream.sliced(cut, cut2 - cut));
            out << deframer.feed(stream.sliced(cut2));
            QCOMPARE(describe(out), expected);
        }
    }
}

void TestKissDeframer::resetForgetsPartialFrame()
{
    KissDeframer deframer;
    QVERIFY(deframer.feed(hex("c0 00 41 42")).isEmpty());
    deframer.reset();
    // After a reconnect the rest of the old frame must not join a new one.
    QCOMPARE(describe(deframer.feed(hex("43 c0 00 44 c0"))), QStringList {"0:44"});
}

QTEST_APPLESS_MAIN(TestKissDeframer)
#include "tst_kissdeframer.moc"

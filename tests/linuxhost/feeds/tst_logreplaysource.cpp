#include "support/LogCapture.h"
#include "support/PacketCollector.h"

#include "linuxhost/feeds/LogReplaySource.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestLogReplaySource : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pacesByRate_data();
    void pacesByRate();
    void skipsBlankAndCommentLines_data();
    void skipsBlankAndCommentLines();
    void stopsAtTheEnd();
    void missingFileEndsAtOnce();
    void namedPipeIsReadOnceAsAStream();

private:
    QString writeLog(const QByteArray &content);
    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<LogCapture> mLog;
};

void TestLogReplaySource::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mLog = std::make_unique<LogCapture>();
}

void TestLogReplaySource::cleanup()
{
    mLog.reset();
    mDir.reset();
}

QString TestLogReplaySource::writeLog(const QByteArray &content)
{
    const QString path = mDir->filePath(QStringLiteral("packets.log"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void TestLogReplaySource::pacesByRate_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QList<qint64>>("elapsedMs");
    QTest::addColumn<QList<int>>("replayedAfterEach");

    QTest::addRow("20 per second: one every 50 ms")
        << 20.0 << QList<qint64> {0, 49, 50, 99, 100, 449} << QList<int> {1, 1, 2, 2, 3, 9};
    QTest::addRow("half a packet per second")
        << 0.5 << QList<qint64> {0, 1999, 2000, 5999, 6000} << QList<int> {1, 1, 2, 3, 4};
    QTest::addRow("2000 per second: two per millisecond")
        << 2000.0 << QList<qint64> {0, 1, 2, 4} << QList<int> {1, 3, 5, 9};
    QTest::addRow("a late tick catches up, never past the end")
        << 20.0 << QList<qint64> {0, 10000} << QList<int> {1, 10};
}

void TestLogReplaySource::pacesByRate()
{
    QFETCH(double, rate);
    QFETCH(QList<qint64>, elapsedMs);
    QFETCH(QList<int>, replayedAfterEach);

    QByteArray content;
    for (int i = 0; i < 10; ++i)
        content += "N0CALL>APRS:>packet " + QByteArray::number(i) + "\n";
    const QString path = writeLog(content);
    QVERIFY(!path.isEmpty());

    LogReplaySource source(path, rate);
    PacketCollector collector(source);
    source.start();
    source.stop();  // the test drives the clock
    for (qsizetype i = 0; i < elapsedMs.size(); ++i) {
        source.replayUntil(elapsedMs.at(i));
        QCOMPARE(collector.packets().size(), replayedAfterEach.at(i));
    }
    for (qsizetype i = 0; i < collector.packets().size(); ++i) {
        QCOMPARE(collector.packets().at(i).line, "N0CALL>APRS:>packet " + QByteArray::number(i));
        QCOMPARE(collector.packets().at(i).radioPort, 0);
    }
}

void TestLogReplaySource::skipsBlankAndCommentLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");

    QTest::addRow("LF lines") << QByteArray("A>APRS:>1\nB>APRS:>2\n") << QList<QByteArray> {"A>APRS:>1", "B>APRS:>2"};
    QTest::addRow("CR LF lines") << QByteArray("A>APRS:>1\r\nB>APRS:>2\r\n")
                                 << QList<QByteArray> {"A>APRS:>1", "B>APRS:>2"};
    QTest::addRow("no line end on the last line")
        << QByteArray("A>APRS:>1\nB>APRS:>2") << QList<QByteArray> {"A>APRS:>1", "B>APRS:>2"};
    QTest::addRow("blank and blank-only lines")
        << QByteArray("\nA>APRS:>1\n\n   \n\t\r\nB>APRS:>2\n\n") << QList<QByteArray> {"A>APRS:>1", "B>APRS:>2"};
    QTest::addRow("comment lines") << QByteArray("# recorded 2026-12-07\nA>APRS:>1\n#B>APRS:>2\n")
                                   << QList<QByteArray> {"A>APRS:>1"};
    QTest::addRow("# later in a line is packet text")
        << QByteArray("A>APRS:># not a comment\n") << QList<QByteArray> {"A>APRS:># not a comment"};
    QTest::addRow("trailing blanks of a packet kept")
        << QByteArray("A>APRS:>1  \n") << QList<QByteArray> {"A>APRS:>1  "};
    QTest::addRow("only comments") << QByteArray("# nothing\n\n") << QList<QByteArray> {};
    QTest::addRow("CR alone ends a line")
        << QByteArray("A>APRS:>1\rB>APRS:>2\r") << QList<QByteArray> {"A>APRS:>1", "B>APRS:>2"};
    // Read in pieces and dropped as it goes: never held whole, never stored.
    QTest::addRow("a megabyte line dropped")
        << QByteArray("A>APRS:>1\nB>APRS:>" + QByteArray(1 << 20, 'x') + "\nC>APRS:>3\n")
        << QList<QByteArray> {"A>APRS:>1", "C>APRS:>3"};
}

void TestLogReplaySource::skipsBlankAndCommentLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);

    const QString path = writeLog(content);
    QVERIFY(!path.isEmpty());
    LogReplaySource source(path, 1);
    PacketCollector collector(source);
    QSignalSpy finished(&source, &PacketSource::finished);
    source.start();
    source.stop();
    source.replayUntil(3'600'000);
    QCOMPARE(collector.lines(), lines);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(source.packetsReplayed(), lines.size());
    QCOMPARE(source.overlongDropped(), content.size() > (1 << 20) ? 1 : 0);
}

void TestLogReplaySource::stopsAtTheEnd()
{
    QByteArray content;
    for (int i = 0; i < 25; ++i)
        content += "N0CALL>APRS:>packet " + QByteArray::number(i) + "\n";
    const QString path = writeLog(content);
    QVERIFY(!path.isEmpty());

    LogReplaySource source(path, 500);
    PacketCollector collector(source);
    QSignalSpy finished(&source, &PacketSource::finished);
    source.start();
    QVERIFY(source.isRunning());
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(collector.packets().size(), 25);
    QCOMPARE(collector.packets().last().line, QByteArray("N0CALL>APRS:>packet 24"));
    QVERIFY(!source.isRunning());
    QVERIFY(source.atEnd());

    // Nothing more, and no second end.
    QTest::qWait(50);
    source.replayUntil(1'000'000);
    QCOMPARE(collector.packets().size(), 25);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(mLog->messages(),
        (QStringList {QStringLiteral("LOG %1 replaying at 500 packets per second").arg(path),
            QStringLiteral("LOG %1 ended after 25 packets").arg(path)}));
}

// A pipe opens without waiting for its writer, hands over lines as they come,
// and ends when the writer closes it.
void TestLogReplaySource::namedPipeIsReadOnceAsAStream()
{
    const QString path = mDir->filePath(QStringLiteral("live.pipe"));
    QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    LogReplaySource source(path, 1);
    PacketCollector collector(source);
    QSignalSpy finished(&source, &PacketSource::finished);
    source.start();
    QVERIFY(source.isStream());
    QVERIFY(source.isRunning());
    QTest::qWait(20);
    QCOMPARE(finished.size(), 0);

    const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
    QVERIFY(writer >= 0);
    const QByteArray first("A>APRS:>1\r\n# comment\nB>APRS:>2\nC>AP");
    QCOMPARE(::write(writer, first.constData(), size_t(first.size())), first.size());
    QTRY_COMPARE(collector.lines(), (QList<QByteArray> {"A>APRS:>1", "B>APRS:>2"}));
    const QByteArray rest("RS:>3");
    QCOMPARE(::write(writer, rest.constData(), size_t(rest.size())), rest.size());
    ::close(writer);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(collector.lines(), (QList<QByteArray> {"A>APRS:>1", "B>APRS:>2", "C>APRS:>3"}));
    QVERIFY(source.atEnd());
    QCOMPARE(mLog->messages(),
        (QStringList {QStringLiteral("LOG %1 reading as a stream").arg(path),
            QStringLiteral("LOG %1 ended after 3 packets").arg(path)}));
}

void TestLogReplaySource::missingFileEndsAtOnce()
{
    const QString path = mDir->filePath(QStringLiteral("gone.log"));
    LogReplaySource source(path, 20);
    QSignalSpy finished(&source, &PacketSource::finished);
    source.start();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!source.isRunning());
    QCOMPARE(
        mLog->messages(), QStringList {QStringLiteral("LOG %1 cannot be read: No such file or directory").arg(path)});
}

QTEST_GUILESS_MAIN(TestLogReplaySource)
#include "tst_logreplaysource.moc"

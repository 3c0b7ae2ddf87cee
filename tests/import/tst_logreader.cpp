// LogReader: one pass over a file, a pipe or a named pipe, plain or
// compressed; lines capped as a live feed's; NUL bytes kept in the line.

#include "import/LogReader.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QList<QByteArray> readAll(const QString &path, QList<LogReader::Result> *results = nullptr)
{
    LogReader reader(path);
    reader.open();
    QList<QByteArray> lines;
    QByteArray line;
    LogReader::Result result;
    while ((result = reader.readLine(line)) != LogReader::Result::End) {
        lines << line;
        if (results)
            *results << result;
    }
    return lines;
}

}  // namespace

class TestLogReader : public QObject
{
    Q_OBJECT

private slots:
    void compressedForms_data();
    void compressedForms();
    void nulStaysInsideTheLine();
    void longLinesAreCappedAsTheyArrive();
    void readsAPipeAndANamedPipeOnce();
};

void TestLogReader::compressedForms_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addRow("plain") << QString();
    QTest::addRow("gzip") << QStringLiteral("gzip");
    QTest::addRow("xz") << QStringLiteral("xz");
    QTest::addRow("bzip2") << QStringLiteral("bzip2");
}

void TestLogReader::compressedForms()
{
    QFETCH(QString, tool);
    QTemporaryDir dir;
    const QByteArray text("N0CALL>APRS:!first\r\nN0CALL>APRS:!second\nlast without a line end");
    const QString path = dir.filePath(QStringLiteral("day.log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (tool.isEmpty()) {
        file.write(text);
    } else {
        QProcess packer;
        packer.start(tool, {QStringLiteral("-c")});
        QVERIFY(packer.waitForStarted());
        packer.write(text);
        packer.closeWriteChannel();
        QVERIFY(packer.waitForFinished());
        file.write(packer.readAllStandardOutput());
    }
    file.close();
    QCOMPARE(
        readAll(path), (QList<QByteArray> {"N0CALL>APRS:!first\r", "N0CALL>APRS:!second", "last without a line end"}));
}

void TestLogReader::nulStaysInsideTheLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nul.log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("N0CALL>APRS:>a\0b\nN1CALL>APRS:>c\n", 32));
    file.close();
    QCOMPARE(readAll(path), (QList<QByteArray> {QByteArray("N0CALL>APRS:>a\0b", 16), "N1CALL>APRS:>c"}));
}

void TestLogReader::longLinesAreCappedAsTheyArrive()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray atCap = "N0CALL>APRS:>" + QByteArray(LogReader::MaxLineBytes - 13, 'x');
    file.write(atCap + "\r\n");
    file.write(atCap + "y\n");
    file.write(QByteArray(8 * 1024 * 1024, 'z') + '\n');
    file.write("N1CALL>APRS:>after\n");
    file.close();
    QList<LogReader::Result> results;
    const QList<QByteArray> lines = readAll(path, &results);
    QCOMPARE(results,
        (QList<LogReader::Result> {
            LogReader::Result::Line, LogReader::Result::TooLong, LogReader::Result::TooLong, LogReader::Result::Line}));
    QCOMPARE(lines, (QList<QByteArray> {atCap + '\r', QByteArray(), QByteArray(), "N1CALL>APRS:>after"}));
}

void TestLogReader::readsAPipeAndANamedPipeOnce()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("feed"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    int ends[2];
    QCOMPARE(::pipe(ends), 0);
    const QString pipePath = QStringLiteral("/dev/fd/%1").arg(ends[0]);
    QVERIFY(LogReader::isStream(pipePath));
    QVERIFY(LogReader::isStream(fifo));
    QVERIFY(LogReader::isStream(QStringLiteral("-")));
    QVERIFY(!LogReader::isStream(QStringLiteral(KELDAN_TEST_DATA "/import/day.log")));

    const QByteArray text = "N0CALL>APRS:>one\nN0CALL>APRS:>two\n";
    std::thread writer([&] {
        (void)!::write(ends[1], text.constData(), size_t(text.size()));
        ::close(ends[1]);
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY);
        (void)!::write(fd, text.constData(), size_t(text.size()));
        ::close(fd);
    });
    const QList<QByteArray> fromPipe = readAll(pipePath);
    const QList<QByteArray> fromFifo = readAll(fifo);
    writer.join();
    ::close(ends[0]);
    QCOMPARE(fromPipe, (QList<QByteArray> {"N0CALL>APRS:>one", "N0CALL>APRS:>two"}));
    QCOMPARE(fromFifo, fromPipe);
}

QTEST_GUILESS_MAIN(TestLogReader)
#include "tst_logreader.moc"

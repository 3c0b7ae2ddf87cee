#include "linuxhost/LinuxHost.h"
#include "linuxhost/PacketJournal.h"
#include "road/HostClock.h"
#include "road/JournalLine.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(18, 4, 5, 123), Qt::UTC);
const QByteArray Packet = "N0CALL>APRS,WIDE1-1:!5230.00N/01320.00E-";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray gunzip(const QString &path)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
    gzip.waitForFinished();
    return gzip.exitCode() == 0 ? gzip.readAllStandardOutput() : QByteArray("gzip failed");
}

QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> all = text.split('\n');
    if (!all.isEmpty() && all.last().isEmpty())
        all.removeLast();
    return all;
}

// A clock that moves on 700 ms with every reading: two readings for one
// packet would give two times, often in different seconds.
class TickingClock : public HostClock
{
public:
    mutable QDateTime utc = Start;
    QDateTime now() const override
    {
        utc = utc.addMSecs(700);
        return utc;
    }
};

int countStarting(const QStringList &messages, const QString &start)
{
    int count = 0;
    for (const QString &message : messages)
        count += message.startsWith(start) ? 1 : 0;
    return count;
}

}  // namespace

class TestPacketJournal : public QObject
{
    Q_OBJECT
private slots:
    void writesOneLinePerPacket();
    void flushesWithinASecond();
    void rollsOverAtUtcMidnight();
    void keepsOnlyItsDays();
    void fullDiskLosesNoBeacon_data();
    void fullDiskLosesNoBeacon();
    void hostJournalsBeforeTheRoad();
};

void TestPacketJournal::writesOneLinePerPacket()
{
    QTemporaryDir dir;
    QDateTime now = Start;
    {
        PacketJournal journal(dir.filePath(QStringLiteral("log")), 30, [&now] { return now; });
        journal.write(101, Packet);
        now = now.addMSecs(250);
        journal.write(0, QByteArray("A>B:with\0nul", 12));
        QVERIFY(journal.flush());
    }
    const QList<QByteArray> got = lines(readAll(dir.filePath(QStringLiteral("log/2026-12-07.log"))));
    QCOMPARE(got.size(), 2);
    const auto first = JournalLine::parse(got.at(0));
    QVERIFY(first);
    QCOMPARE(first->heardAtUtc, Start);
    QCOMPARE(int(first->radioPort), 101);
    QCOMPARE(first->packet.toByteArray(), Packet);
    QCOMPARE(got.at(1), QByteArray("2026-12-07T18:04:05.373Z 0 A>B:with\0nul", 39));
}

void TestPacketJournal::flushesWithinASecond()
{
    QTemporaryDir dir;
    PacketJournal journal(dir.path(), 30, [] { return Start; });
    journal.write(1, Packet);
    const QString path = dir.filePath(QStringLiteral("2026-12-07.log"));
    QCOMPARE(readAll(path), QByteArray());  // held in memory, not written per packet
    QTRY_COMPARE_WITH_TIMEOUT(lines(readAll(path)).size(), 1, 3 * PacketJournal::FlushMs);
}

void TestPacketJournal::rollsOverAtUtcMidnight()
{
    QTemporaryDir dir;
    QDateTime now(QDate(2026, 12, 7), QTime(23, 59, 59, 900), Qt::UTC);
    PacketJournal journal(dir.path(), 30, [&now] { return now; });
    journal.write(1, "DAY1>APRS:>one");
    now = now.addMSecs(200);
    journal.write(1, "DAY2>APRS:>two");
    QVERIFY(journal.flush());
    journal.waitForCompression();

    QCOMPARE(PacketJournal::files(dir.path()),
        QStringList(
            {dir.filePath(QStringLiteral("2026-12-07.log.gz")), dir.filePath(QStringLiteral("2026-12-08.log"))}));
    QCOMPARE(gunzip(dir.filePath(QStringLiteral("2026-12-07.log.gz"))),
        QByteArray("2026-12-07T23:59:59.900Z 1 DAY1>APRS:>one\n"));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("2026-12-08.log"))),
        QByteArray("2026-12-08T00:00:00.100Z 1 DAY2>APRS:>two\n"));
}

void TestPacketJournal::keepsOnlyItsDays()
{
    QTemporaryDir dir;
    const QDate today = Start.date();
    const auto touch = [&dir](const QString &name, const QByteArray &text = "x\n") {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    touch(PacketJournal::fileName(today.addDays(-40)) + QStringLiteral(".gz"));
    touch(PacketJournal::fileName(today.addDays(-3)));  // 3 days: the oldest kept
    touch(PacketJournal::fileName(today.addDays(-2)) + QStringLiteral(".gz"));
    touch(PacketJournal::fileName(today.addDays(-4)));  // 4 days: too old
    touch(QStringLiteral("notes.txt"));
    // A stop between compressing and removing left both.
    touch(PacketJournal::fileName(today.addDays(-1)), "whole day\n");
    QVERIFY(PacketJournal::compress(dir.filePath(PacketJournal::fileName(today.addDays(-1)))));
    touch(PacketJournal::fileName(today.addDays(-1)), "whole day\n");

    PacketJournal journal(dir.path(), 3, [] { return Start; });
    journal.waitForCompression();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
        QStringList({PacketJournal::fileName(today.addDays(-3)) + QStringLiteral(".gz"),
            PacketJournal::fileName(today.addDays(-2)) + QStringLiteral(".gz"),
            PacketJournal::fileName(today.addDays(-1)) + QStringLiteral(".gz"), QStringLiteral("notes.txt")}));
    QCOMPARE(
        gunzip(dir.filePath(PacketJournal::fileName(today.addDays(-3)) + QStringLiteral(".gz"))), QByteArray("x\n"));
    QCOMPARE(gunzip(dir.filePath(PacketJournal::fileName(today.addDays(-1)) + QStringLiteral(".gz"))),
        QByteArray("whole day\n"));
}

void TestPacketJournal::fullDiskLosesNoBeacon_data()
{
    QTest::addColumn<bool>("realDisk");
    QTest::addRow("a 64 KiB file system") << true;
    QTest::addRow("a write that fails") << false;
}

// The disk fills: the journal stops, says so once, keeps its file whole, and
// writes again once there is room and the retry time has come.
void TestPacketJournal::fullDiskLosesNoBeacon()
{
    QFETCH(bool, realDisk);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(folder));
    if (realDisk && mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a tmpfs needs root");
    const auto unmount = qScopeGuard([&] {
        if (realDisk)
            umount(QFile::encodeName(folder).constData());
    });
    const QString filler = dir.filePath(QStringLiteral("disk/filler"));
    if (realDisk) {
        QFile file(filler);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(QByteArray(32 * 1024, 'f')), qint64(32 * 1024));
    }
    bool failing = false;
    LogCapture log;
    QDateTime now = Start;
    QList<QByteArray> journaled;
    {
        PacketJournal journal(folder, 30, [&now] { return now; });
        if (!realDisk) {
            journal.setWriter([&failing](QFile &file, QByteArrayView bytes) -> qint64 {
                if (!failing)
                    return file.write(bytes.data(), bytes.size());
                file.write(bytes.data(), bytes.size() / 2);  // part of it, as a full disk does
                return -1;
            });
        }
        QByteArray packet = "BIG>APRS:>" + QByteArray(1000, 'x');
        int i = 0;
        for (; i < 1000 && journal.isWriting(); ++i) {
            journal.write(1, packet + QByteArray::number(i));
            now = now.addMSecs(10);
            if (i == 30)
                failing = true;
            journal.flush();
        }
        QVERIFY(!journal.isWriting());
        QVERIFY(i < 1000);
        for (int more = 0; more < 5; ++more)
            journal.write(1, packet);
        QVERIFY(!journal.flush());
        QCOMPARE(countStarting(log.messages(), QStringLiteral("Journal: cannot write")), 1);

        // Room again; before the retry time nothing is tried, after it the line lands.
        failing = false;
        if (realDisk)
            QVERIFY(QFile::remove(filler));
        now = now.addMSecs(PacketJournal::RetryMs);
        journal.write(2, "BACK>APRS:>again");
        QVERIFY(journal.flush());
        QVERIFY(journal.isWriting());
        QVERIFY(journal.droppedLines() > 0);
        QCOMPARE(countStarting(log.messages(), QStringLiteral("Journal: writing to")), 1);
        journaled = lines(readAll(PacketJournal::files(folder).constFirst()));
    }
    // Every line whole: the file was cut back to the last whole line.
    QVERIFY(!journaled.isEmpty());
    static const QRegularExpression whole(
        QStringLiteral("^[-0-9T:.]+Z [12] (BIG>APRS:>x{1000}\\d*|BACK>APRS:>again)$"));
    for (const QByteArray &line : std::as_const(journaled))
        QVERIFY2(whole.match(QString::fromLatin1(line)).hasMatch(), line.left(60).constData());
    QVERIFY(journaled.last().endsWith("BACK>APRS:>again"));
}

// The journal hears every packet, also one the road drops as a duplicate or
// cannot decode; a beacon carries the very time its journal line holds, by
// which recovery finds it stored.
void TestPacketJournal::hostJournalsBeforeTheRoad()
{
    QTemporaryDir dir;
    HostSettings settings;
    LinuxHost host(settings);
    host.setClock(std::make_shared<TickingClock>());
    host.setJournal(new PacketJournal(dir.path(), 30, [] { return Start; }));
    QSignalSpy beacons(&host, &HostApplication::NotifyBeaconData);
    host.takePacket(Packet, 1);
    host.takePacket(Packet, 1);
    host.takePacket("not a packet", 1);
    QCOMPARE(beacons.size(), 1);
    QVERIFY(host.journal()->flush());
    const QList<QByteArray> journaled = lines(readAll(dir.filePath(QStringLiteral("2026-12-07.log"))));
    QCOMPARE(journaled.size(), 3);
    const auto first = JournalLine::parse(journaled.first());
    QVERIFY(first);
    const auto beacon = beacons.first().first().value<BeaconRecordRef>();
    QCOMPARE(beacon->timeA(), first->heardAtUtc);
}

QTEST_GUILESS_MAIN(TestPacketJournal)
#include "tst_packetjournal.moc"

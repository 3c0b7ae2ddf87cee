// bench_recovery DATABASE [BEACONS]
//   DATABASE: sqlite, postgres or mariadb (the servers of scripts/db-servers.sh)
// 1. The journal's cost: BEACONS packets through LinuxHost::takePacket with and
//    without a journal (the road and the signal included), per packet.
// 2. Recovery: the journal read back into empty tables on a thread of its own
//    while the live side stores 100 beacons a second (the drain's pace) on its
//    own connection; then again, when every beacon is already stored.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/PacketJournal.h"
#include "recording/BeaconRecorder.h"
#include "recovery/JournalRecovery.h"
#include "recovery/RecoveryView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(12, 0, 0), Qt::UTC);

class StepClock : public HostClock
{
public:
    QDateTime utc = Start;
    QDateTime now() const override { return utc.toLocalTime(); }
    qint64 steadyMs() const override { return utc.toMSecsSinceEpoch(); }
};

QByteArray packet(int n, const char *tag)
{
    QByteArray call = "T";
    for (int i = 0, m = n; i < 5; ++i, m /= 26)
        call += char('A' + m % 26);
    return call + ">APRS,WIDE1-1:!5230.00N/01320.00E-" + tag + ' ' + QByteArray::number(n);
}

// ns per packet through takePacket, with or without a journal.
double intakeNs(int beacons, const QString &journalFolder)
{
    HostSettings settings;
    LinuxHost host(settings);
    auto clock = std::make_shared<StepClock>();
    host.setClock(clock);
    if (!journalFolder.isEmpty())
        host.setJournal(new PacketJournal(journalFolder, 30, [clock] { return clock->utc; }));
    qint64 raised = 0;
    QObject::connect(&host, &HostApplication::NotifyBeaconData, &host, [&raised](BeaconRecordRef) { ++raised; });
    QList<QByteArray> lines;
    for (int i = 0; i < beacons; ++i)
        lines << packet(i, "recovered");
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < beacons; ++i) {
        host.takePacket(lines.at(i), 1);
        clock->utc = clock->utc.addMSecs(20);
    }
    if (host.journal())
        host.journal()->flush();
    return double(timer.nsecsElapsed()) / beacons;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_recovery sqlite|postgres|mariadb [BEACONS]\n");
        return 2;
    }
    const int beacons = argc > 2 ? std::atoi(argv[2]) : 20000;
    QTemporaryDir dir;
    const QString journalFolder = dir.filePath(QStringLiteral("log"));

    const double bare = intakeNs(beacons, QString());
    const double journaled = intakeNs(beacons, journalFolder);
    std::printf("intake: %.2f us per packet without the journal, %.2f us with it (+%.2f us)\n", bare / 1000,
        journaled / 1000, (journaled - bare) / 1000);

    const TestDatabase db = testDatabase(QString::fromLatin1(argv[1]), dir.filePath(QStringLiteral("bench.sqlite")));
    createSqliteFile(db);
    recreateTables(db);
    HostSettings settings;

    // The live side: 100 beacons a second of other stations, on its own connection.
    std::atomic_bool done = false;
    std::atomic<qint64> liveStored = 0;
    std::thread live([&] {
        OdbcConnection connection(QStringLiteral("live"));
        connection.open(db.connectionString());
        RecoveryView view {QList<int>()};
        BeaconRecorder recorder(view, connection);
        auto clock = std::make_shared<StepClock>();
        clock->utc = Start.addDays(1);
        BeaconRoad road(settings);
        road.setClock(clock);
        for (int i = 0; !done; ++i) {
            if (auto beacon = road.take(packet(i, "live"), 1)) {
                recorder.processBeacon(beacon);
                ++liveStored;
            }
            clock->utc = clock->utc.addSecs(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });

    OdbcConnection connection(QStringLiteral("recovery"));
    connection.open(db.connectionString());
    const QDateTime upTo = Start.addSecs(beacons);
    for (const char *pass : {"into empty tables", "all already stored"}) {
        const qint64 liveBefore = liveStored;
        QElapsedTimer timer;
        timer.start();
        const JournalRecovery::Result result =
            JournalRecovery(settings, {}, connection).run(journalFolder, Start.addMSecs(-1), upTo);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("%s, %s: %lld beacons (%lld stored, %lld already there) in %.2f s: %.0f beacons/s; "
                    "live stored %lld meanwhile (%.0f/s)\n",
            argv[1], pass, qlonglong(result.beacons), qlonglong(result.recovered), qlonglong(result.alreadyStored),
            seconds, result.beacons / seconds, qlonglong(liveStored - liveBefore), (liveStored - liveBefore) / seconds);
        if (!result.complete)
            std::printf("  stopped: %s\n", qPrintable(result.problem));
    }
    done = true;
    live.join();
    return 0;
}

// The journal read back into SQLite, PostgreSQL and MariaDB: beacons the
// queue refused during an outage are stored once each, with the time they
// were heard, beside the ones live recording stored; a stored beacon without
// its detail row gets it.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "host/BeaconQueue.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/PacketJournal.h"
#include "recording/BeaconRecorder.h"
#include "recovery/JournalRecovery.h"
#include "recovery/RecoveryView.h"
#include "support/LogCapture.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(18, 0, 0, 250), Qt::UTC);

// One time for the journal and the road, moved by the test.
class SharedClock : public HostClock
{
public:
    QDateTime utc = Start;
    QDateTime now() const override { return utc.toLocalTime(); }
    qint64 steadyMs() const override { return utc.toMSecsSinceEpoch(); }
};

// A callsign per number: T + four letters.
QByteArray callsign(int n)
{
    QByteArray call = "T";
    for (int i = 0; i < 4; ++i, n /= 26)
        call += char('A' + n % 26);
    return call;
}

// Beacons heard 1.13 s apart from Start; the time after the last.
QDateTime writeJournal(PacketJournal &journal, int beacons)
{
    QDateTime heardAt = Start;
    for (int i = 0; i < beacons; ++i, heardAt = heardAt.addMSecs(1130))
        journal.write(1, callsign(i) + ">APRS,WIDE1-1:!5230.00N/01320.00E-later " + QByteArray::number(i), heardAt);
    journal.flush();
    return heardAt;
}

// The live side of the bridge, the window left out: the queue, and a drain
// that runs the recorder on a connection of its own.
class LiveBridge : public BeaconQueue::View
{
public:
    LiveBridge(OdbcConnection &connection) : mRecorder(mView, connection), queue(*this) { }
    void setBufferCaption(const QString &) override { }
    void setStatusCaption(const QString &) override { }
    void processBeacon(const BeaconRecordRef &beacon) override { mRecorder.processBeacon(beacon); }
    void dispatchPendingMessages() override { }

private:
    RecoveryView mView {QList<int>()};
    BeaconRecorder mRecorder;

public:
    BeaconQueue queue;
};

}  // namespace

class TestJournalRecovery : public QObject
{
    Q_OBJECT
private slots:
    void overflowDuringOutage_data();
    void overflowDuringOutage();
    void notNowWaitsForTheNextRecovery_data();
    void notNowWaitsForTheNextRecovery();
    void liveDrainWritesBesideRecovery();
};

void TestJournalRecovery::overflowDuringOutage_data()
{
    addDatabaseRows();
}

void TestJournalRecovery::overflowDuringOutage()
{
    QFETCH(QString, database);
    QTemporaryDir dir;
    const TestDatabase db = testDatabase(database, dir.filePath(QStringLiteral("keldan.sqlite")));
    KELDAN_REQUIRE_DATABASE(db);
    createSqliteFile(db);
    recreateTables(db);
    LogCapture log;

    constexpr int Heard = 1500;
    constexpr int StoredBefore = 100;  // stored live before the link went
    HostSettings settings;
    settings.timeZone = StationSettings::TimeZone::Utc;
    auto clock = std::make_shared<SharedClock>();
    LinuxHost host(settings);
    host.setClock(clock);
    host.setJournal(new PacketJournal(dir.filePath(QStringLiteral("log")), 30, [clock] { return clock->utc; }));

    OdbcConnection live(QStringLiteral("live"));
    live.open(db.connectionString());
    LiveBridge bridge(live);
    QObject::connect(&host, &HostApplication::NotifyBeaconData, &host,
        [&bridge](BeaconRecordRef beacon) { bridge.queue.queueBeacon(std::move(beacon)); });

    const QDateTime mark = Start.addMSecs(-1);
    QList<QDateTime> heardAt;
    for (int i = 0; i < Heard; ++i) {
        heardAt << clock->utc;
        host.takePacket(callsign(i) + ">APRS,WIDE1-1:!5230.00N/01320.00E-recovered " + QByteArray::number(i), 1);
        // Every tenth is heard twice (radio and APRS-IS): the road stores it once.
        if (i % 10 == 0)
            host.takePacket(callsign(i) + ">APRS,WIDE1-1:!5230.00N/01320.00E-recovered " + QByteArray::number(i), 1);
        if (i < StoredBefore)
            bridge.queue.TimerBeaconData_Timer();  // the link is up: drained at once
        clock->utc = clock->utc.addMSecs(1130);
    }
    // The outage: 1000 beacons wait, the rest were refused.
    QCOMPARE(int(bridge.queue.queueCount()), int(BeaconQueue::Capacity));
    QCOMPARE(bridge.queue.refused(), qint64(Heard - StoredBefore - BeaconQueue::Capacity));
    // The link is back: the queue drains, and the journal is read back.
    while (bridge.queue.queueCount() > 0)
        bridge.queue.TimerBeaconData_Timer();
    QVERIFY(host.journal()->flush());
    // Two beacons whose stations row went in and whose detail row was kept
    // for a link that came back only after the bridge had ended.
    const QString detailLost =
        QStringLiteral("'%1','%2'")
            .arg(QString::fromLatin1(callsign(3)), QString::fromLatin1(callsign(StoredBefore + 50)));
    live.execute(QStringLiteral("delete from fixed_data where fk_callsign in (%1)").arg(detailLost));
    constexpr qint64 DetailLost = 2;

    OdbcConnection recovery(QStringLiteral("recovery"));
    recovery.open(db.connectionString());
    const JournalRecovery::Result result =
        JournalRecovery(settings, {}, recovery).run(host.journal()->folder(), mark, clock->utc);
    QVERIFY2(result.complete, qPrintable(result.problem));
    QCOMPARE(result.recovered, bridge.queue.refused() + DetailLost);
    QCOMPARE(result.alreadyStored, qint64(Heard) - bridge.queue.refused() - DetailLost);
    QCOMPARE(result.reachedUtc, clock->utc);

    const QList<QStringList> rows = queryRows(db,
        QStringLiteral("select s.callsign, s.dtstamp, f.comment from stations s join fixed_data f "
                       "on f.fk_callsign = s.callsign and f.fk_dtstamp = s.dtstamp order by s.callsign"));
    QCOMPARE(rows.size(), Heard);
    QMap<QString, QStringList> byCall;
    for (const QStringList &row : rows)
        byCall.insert(row.at(0), row);
    QCOMPARE(byCall.size(), Heard);
    for (int i = 0; i < Heard; ++i) {
        const QStringList row = byCall.value(QString::fromLatin1(callsign(i)));
        QCOMPARE(row.value(1).left(19), heardAt.at(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QCOMPARE(row.value(2), QStringLiteral("recovered %1").arg(i));
    }

    // Read back again: nothing twice.
    const JournalRecovery::Result again =
        JournalRecovery(settings, {}, recovery).run(host.journal()->folder(), mark, clock->utc);
    QCOMPARE(again.recovered, qint64(0));
    QCOMPARE(again.alreadyStored, qint64(Heard));
    QCOMPARE(queryRows(db, QStringLiteral("select count(*) from stations")).value(0).value(0), QString::number(Heard));
}

void TestJournalRecovery::notNowWaitsForTheNextRecovery_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addRow("locked by another writer") << QStringLiteral("locked");
    QTest::addRow("read-only") << QStringLiteral("read-only");
}

// A failure that may pass is no refusal: nothing is counted as given up, the
// mark stays, and the next recovery stores every beacon.
void TestJournalRecovery::notNowWaitsForTheNextRecovery()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const TestDatabase db = testDatabase(QStringLiteral("sqlite"), dir.filePath(QStringLiteral("keldan.sqlite")));
    createSqliteFile(db);
    recreateTables(db);
    LogCapture log;

    constexpr int Heard = 700;  // more than one batch
    PacketJournal journal(dir.filePath(QStringLiteral("log")), 30, [] { return Start; });
    const QDateTime heardAt = writeJournal(journal, Heard);
    const QDateTime mark = Start.addMSecs(-1);
    HostSettings settings;

    OdbcConnection recovery(QStringLiteral("recovery"));
    recovery.open(db.connectionString());
    OdbcConnection holder(QStringLiteral("holder"));
    if (fault == QLatin1String("locked")) {
        holder.open(db.connectionString());
        holder.execute(QStringLiteral("begin exclusive"));
    } else {
        recovery.execute(QStringLiteral("pragma query_only = 1"));
    }
    const JournalRecovery::Result stopped =
        JournalRecovery(settings, {}, recovery).run(journal.folder(), mark, heardAt);
    QVERIFY(!stopped.complete);
    QVERIFY2(!stopped.problem.isEmpty(), "a reason");
    QCOMPARE(stopped.refused, qint64(0));
    QCOMPARE(stopped.reachedUtc, mark);

    if (fault == QLatin1String("locked"))
        holder.execute(QStringLiteral("rollback"));
    else
        recovery.execute(QStringLiteral("pragma query_only = 0"));
    const JournalRecovery::Result again =
        JournalRecovery(settings, {}, recovery).run(journal.folder(), stopped.reachedUtc, heardAt);
    QVERIFY2(again.complete, qPrintable(again.problem));
    QCOMPARE(again.recovered, qint64(Heard));
    QCOMPARE(
        queryRows(db, QStringLiteral("select count(*) from fixed_data")).value(0).value(0), QString::number(Heard));
}

// SQLite has one writer at a time: the live drain's rows, one every few
// milliseconds beside a recovery, must not make the recovery give up.
void TestJournalRecovery::liveDrainWritesBesideRecovery()
{
    QTemporaryDir dir;
    const TestDatabase db = testDatabase(QStringLiteral("sqlite"), dir.filePath(QStringLiteral("keldan.sqlite")));
    createSqliteFile(db);
    recreateTables(db);
    LogCapture log;
    constexpr int Heard = 3000;
    PacketJournal journal(dir.filePath(QStringLiteral("log")), 30, [] { return Start; });
    const QDateTime heardAt = writeJournal(journal, Heard);

    std::atomic_bool done = false;
    std::atomic_int liveRows = 0;
    std::thread live([&] {
        OdbcConnection connection(QStringLiteral("live"));
        connection.open(db.connectionString());
        while (!done) {
            connection.execute(QStringLiteral("insert into stations (callsign, dtstamp) values ('LIVE', '%1')")
                                   .arg(Start.addSecs(liveRows++).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    OdbcConnection recovery(QStringLiteral("recovery"));
    recovery.open(db.connectionString());
    const JournalRecovery::Result result =
        JournalRecovery(HostSettings(), {}, recovery).run(journal.folder(), Start.addMSecs(-1), heardAt);
    done = true;
    live.join();
    QVERIFY2(result.complete, qPrintable(result.problem));
    QCOMPARE(result.recovered, qint64(Heard));
    QVERIFY(liveRows > 0);
}

QTEST_GUILESS_MAIN(TestJournalRecovery)
#include "tst_journalrecovery.moc"

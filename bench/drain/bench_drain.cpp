// Sustained drain: a scriptable host offers beacons at a fixed rate to the
// real main window, whose 10 ms timer stores one beacon per tick into a real
// database. Prints, per phase, what was offered, stored, refused and how full
// the queue got.
//
// Usage: bench_drain DATABASE RATE:SECONDS [RATE:SECONDS ...]
//   DATABASE is sqlite, postgres or mariadb (the test servers of
//   scripts/db-servers.sh, with ODBCSYSINI/ODBCINI set as for the tests).
// With KELDAN_BENCH_KEEP_TABLES set, the tables are kept as they are (filled
// by bench/queries/run.sh) and its value is the SQLite database file.
#include "app/ErrorReport.h"
#include "app/Form1.h"

#include "ScriptedBeaconRecord.h"
#include "ScriptedHost.h"
#include "TestDatabases.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

struct Phase {
    int ratePerSecond;
    int seconds;
};

BeaconRecordRef beacon(int number)
{
    ScriptedBeaconRecord::Fields fields;
    fields.callsign = QStringLiteral("B%1").arg(number % 100000);
    fields.stationType = number % 3 == 0 ? StationType::Mobile : StationType::Fixed;
    fields.statusText = QStringLiteral("bench");
    fields.speed = 12.5f;
    fields.course = 270;
    // Unique timestamps keep the pairs of rows apart.
    fields.timeA = QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(number);
    fields.timeB = fields.timeA;
    return std::make_shared<ScriptedBeaconRecord>(fields);
}

}  // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_drain sqlite|postgres|mariadb RATE:SECONDS ...\n");
        return 2;
    }
    QList<Phase> phases;
    for (int i = 2; i < argc; ++i) {
        const QStringList parts = QString::fromLatin1(argv[i]).split(QLatin1Char(':'));
        phases.append({parts.value(0).toInt(), parts.value(1).toInt()});
    }

    QTemporaryDir folder;
    const QString keptSqlite = qEnvironmentVariable("KELDAN_BENCH_KEEP_TABLES");
    const QString sqliteFile = keptSqlite.isEmpty() ? folder.filePath(QStringLiteral("bench.sqlite")) : keptSqlite;
    const TestDatabase db = testDatabase(QString::fromLatin1(argv[1]), sqliteFile);
    if (keptSqlite.isEmpty())
        recreateTables(db);
    const int rowsBefore = queryRows(db, QStringLiteral("select count(*) from stations")).value(0).value(0).toInt();
    std::printf("stations rows before: %d\n", rowsBefore);
    {
        QFile ini(folder.filePath(QStringLiteral("keldan.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("DSN=%1\r\nUSERNAME=%2\r\nPASSWORD=%3\r\nDATABASE=%4\r\n")
                      .arg(db.dsn, db.user, db.password, db.database)
                      .toUtf8());
    }

    ScriptedHost *host = nullptr;
    Form1Options options;
    options.programFolder = folder.path();
    options.createHost = [&] {
        auto created = std::make_unique<ScriptedHost>();
        host = created.get();
        return created;
    };
    options.endProcess = [] {};
    options.fatalError = [](std::exception_ptr failure) {
        std::fprintf(stderr, "fatal: %s\n", qPrintable(ErrorReport::from(failure).message()));
        std::exit(1);
    };
    Form1 window(options);
    window.Form_Load();
    std::printf("database %s: %s\n", argv[1], qPrintable(window.findChild<QLabel *>(QStringLiteral("status"))->text()));

    int ticks = 0;
    QObject::connect(window.findChild<QTimer *>(QStringLiteral("TimerBeaconData")), &QTimer::timeout, [&] { ++ticks; });

    int offeredTotal = 0;
    int acceptedTotal = 0;
    std::printf("%-8s %8s %8s %9s %9s %9s %9s %12s\n", "rate/s", "seconds", "offered", "refused", "stored", "stored/s",
        "per tick", "max waiting");
    for (const Phase &phase : phases) {
        QElapsedTimer clock;
        clock.start();
        const int storedAtStart = acceptedTotal - window.queue().queueCount();
        const int ticksAtStart = ticks;
        int offered = 0, refused = 0, maxWaiting = 0, waitingAtRefusal = 1000;
        QTimer offer;
        offer.setTimerType(Qt::PreciseTimer);
        offer.setInterval(1);
        QObject::connect(&offer, &QTimer::timeout, [&] {
            const qint64 due = clock.elapsed() * phase.ratePerSecond / 1000;
            while (offered < due) {
                const int waiting = window.queue().queueCount();
                if (waiting == 1000) {
                    ++refused;
                    waitingAtRefusal = std::min(waitingAtRefusal, waiting);
                } else {
                    ++acceptedTotal;
                }
                emit host->NotifyBeaconData(beacon(offeredTotal++));
                ++offered;
                maxWaiting = std::max(maxWaiting, int(window.queue().queueCount()));
            }
        });
        offer.start();
        QTimer::singleShot(phase.seconds * 1000, &app, &QCoreApplication::quit);
        app.exec();
        offer.stop();
        const double elapsed = clock.elapsed() / 1000.0;
        const int stored = acceptedTotal - window.queue().queueCount() - storedAtStart;
        std::printf("%-8d %8.1f %8d %9d %9d %9.1f %9.3f %12d%s\n", phase.ratePerSecond, elapsed, offered, refused,
            stored, stored / elapsed, double(stored) / std::max(1, ticks - ticksAtStart), maxWaiting,
            refused > 0 && waitingAtRefusal < 1000 ? "  (refused below 1000!)" : "");
    }
    // Let the queue empty, then check every accepted beacon has its row.
    while (window.queue().queueCount() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int rows =
        queryRows(db, QStringLiteral("select count(*) from stations")).value(0).value(0).toInt() - rowsBefore;
    std::printf("accepted %d, stations rows %d%s\n", acceptedTotal, rows, rows == acceptedTotal ? "" : "  MISMATCH");
    return rows == acceptedTotal ? 0 : 1;
}

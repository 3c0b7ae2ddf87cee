// keldan-report against a large log: stations rows (and their detail rows)
// as the bridge writes them, inserted with plain SQL, then the report read,
// rendered and written, and the page loaded in headless Chromium.
//
//   bench_report [stations rows, default 100000] [database...]
//
// The mix: one station per 50 rows, 60 % fixed, 25 % mobile (each moving
// along a track), 15 % weather, beacons spread over the last 24 hours.
// Needs ODBCSYSINI=<repo>/odbc and, for the servers, ODBCINI=<dbservers>/odbc.ini
// with scripts/db-servers.sh running; see run.sh.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "report/DtstampText.h"
#include "report/ReportPage.h"
#include "report/ReportReader.h"
#include "support/HeadlessChromium.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

constexpr int RowsPerStation = 50;
constexpr int Batch = 500;

struct Inserts {
    QStringList stations, fixed, mobile, wx;
};

void flush(OdbcConnection &connection, const char *head, QStringList &values)
{
    if (values.isEmpty())
        return;
    connection.execute(QString::fromLatin1(head) + values.join(QLatin1Char(',')));
    values.clear();
}

void fill(OdbcConnection &connection, int rows, qint64 endSeconds)
{
    Inserts batch;
    const auto flushAll = [&] {
        flush(connection,
            "insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,"
            "symbol,object_owner) values ",
            batch.stations);
        flush(connection, "insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) values ", batch.fixed);
        flush(connection, "insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) values ",
            batch.mobile);
        flush(connection,
            "insert into wx_data (fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,"
            "rain_last_hour,rain_today,temp,wind_chill,wind_direction,wind_gust,wind_speed) values ",
            batch.wx);
    };
    for (int i = 0; i < rows; ++i) {
        const int station = i % (rows / RowsPerStation);
        const int beacon = i / (rows / RowsPerStation);
        const int kindPick = station % 20;
        const int kind = kindPick < 12 ? 0 : kindPick < 17 ? 2 : 1;
        const QString callsign = QStringLiteral("K%1-%2").arg(station, 4, 10, QLatin1Char('0')).arg(kind == 2 ? 9 : 0);
        const QString stamp = dtstampText(endSeconds - 86400 + qint64(beacon) * 86400 / RowsPerStation + station % 60);
        // Stations scattered over Europe and North America, in minutes of arc.
        double lat = (30 + (station * 37) % 30) * 60.0 + (station % 59);
        double lon = ((station * 53) % 200 - 120) * 60.0 + (station % 47);
        if (kind == 2) {
            lat += beacon * 1.5;
            lon += beacon * 2.0;
        }
        const QString symbol = kind == 0 ? QStringLiteral("/-")
            : kind == 1                  ? QStringLiteral("/_")
                                         : QStringLiteral("/>");
        batch.stations << QStringLiteral("('%1','%2','%3',%4,%5,%6,%7,0,'%8','')")
                              .arg(callsign, stamp)
                              .arg(kind)
                              .arg(station % 500)
                              .arg(lat, 0, 'f', 2)
                              .arg(lon, 0, 'f', 2)
                              .arg(station % 3 == 0 ? 1 : 0)
                              .arg(symbol);
        if (kind == 0)
            batch.fixed << QStringLiteral("('%1','%2','','PHG2360 digipeater and igate, beacon %3',"
                                          "'WIDE1-1,qAR,IGATE')")
                               .arg(callsign, stamp)
                               .arg(beacon);
        else if (kind == 2)
            batch.mobile << QStringLiteral("('%1','%2','%3','%4','WIDE1-1,WIDE2-1','%5')")
                                .arg(callsign, stamp)
                                .arg(120 + beacon)
                                .arg(40 + beacon % 30)
                                .arg((beacon * 7) % 360);
        else
            batch.wx << QStringLiteral("('%1','%2','%3','%4','%5','0','0.25','1','%6','%6','%7','5','3')")
                            .arg(callsign, stamp)
                            .arg(1000 + beacon % 20)
                            .arg(2 + beacon % 5)
                            .arg(50 + beacon % 40)
                            .arg(5 + (beacon % 24) * 0.5)
                            .arg((beacon * 30) % 360);
        if (batch.stations.size() >= Batch)
            flushAll();
    }
    flushAll();
}

void bench(const TestDatabase &db, int rows, const QString &folder)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QElapsedTimer timer;
    timer.start();
    recreateTables(db);
    OdbcConnection connection(QStringLiteral("Bench"));
    connection.open(db.connectionString());
    fill(connection, rows, now);
    const qint64 fillMs = timer.restart();

    // Wall time, and this process's own processor time, which a machine
    // shared with other work does not stretch.
    std::clock_t cpu = std::clock();
    const auto cpuMs = [&cpu] {
        const std::clock_t now = std::clock();
        const qint64 ms = qint64(now - cpu) * 1000 / CLOCKS_PER_SEC;
        cpu = now;
        return ms;
    };
    const ReportData data = ReportReader(connection).read(ReportPeriod::parse(QStringLiteral("all"), QString(), now));
    const qint64 readMs = timer.restart();
    const qint64 readCpuMs = cpuMs();
    ReportPage page;
    const QByteArray html = page.render(data);
    const qint64 renderMs = timer.restart();
    const qint64 renderCpuMs = cpuMs();
    const QString file = folder + QStringLiteral("/report-%1.html").arg(db.name);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(html) != html.size())
        throw std::runtime_error("cannot write " + file.toStdString());
    out.close();
    const qint64 writeMs = timer.restart();

    HeadlessChromium browser;
    const QByteArray dom = browser.dumpDom(QUrl::fromLocalFile(file));
    const qint64 browserMs = timer.restart();
    const QRegularExpression renderTime(QStringLiteral("data-render-ms=\"(\\d+)\""));
    const QString pageMs = renderTime.match(QString::fromUtf8(dom)).captured(1);
    const QByteArray root = dom.left(dom.indexOf('>', dom.indexOf("<html")));
    const bool errors = root.contains("data-script-errors") || browser.log.contains(QLatin1String("Uncaught"));

    qsizetype tracks = 0;
    for (const StationSummary &s : data.stations)
        tracks += s.everMobile && s.track.size() > 1 ? 1 : 0;
    std::printf("| %s | %lld | %lld | %lld | %lld | %lld (%lld) | %lld (%lld) | %lld | %.1f | %lld | %s | %lld%s |\n",
        qPrintable(db.name), data.stationRows, qint64(data.stations.size()), qint64(tracks), data.weatherRows, readMs,
        readCpuMs, renderMs, renderCpuMs, writeMs, html.size() / 1048576.0, browserMs,
        pageMs.isEmpty() ? "?" : qPrintable(pageMs), fillMs, errors ? " SCRIPT ERRORS" : "");
    std::fflush(stdout);
}

// keldan-report itself on the same rows, as its own process under
// /usr/bin/time: what a user waits for and the most memory it ever held.
void command(const TestDatabase &db, const QString &folder)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // The password goes by the environment, as a user gives it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KELDAN_PASSWORD"), db.password);
    process.setProcessEnvironment(environment);
    const QString out = folder + QStringLiteral("/command-%1.html").arg(db.name);
    process.start(QStringLiteral("/usr/bin/time"),
        {QStringLiteral("-f"), QStringLiteral("TIME %e s wall, %U s user, %S s sys, %M KiB peak"),
            QStringLiteral(KELDAN_REPORT_PROGRAM), QStringLiteral("--dsn"), db.dsn, QStringLiteral("--user"), db.user,
            QStringLiteral("--database"), db.database, QStringLiteral("--since"), QStringLiteral("all"),
            QStringLiteral("-o"), out});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        throw std::runtime_error("keldan-report failed: " + process.readAllStandardError().toStdString());
    const QByteArray err = process.readAllStandardError();
    const QByteArray time = err.mid(err.lastIndexOf("TIME ") + 5).trimmed();
    std::printf("keldan-report on %s: %s, %.1f MiB written\n", qPrintable(db.name), time.constData(),
        QFileInfo(out).size() / 1048576.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    int rows = 100000;
    if (!arguments.isEmpty() && arguments.first().toInt() > 0)
        rows = arguments.takeFirst().toInt();
    if (arguments.isEmpty())
        arguments = {QStringLiteral("sqlite"), QStringLiteral("postgres"), QStringLiteral("mariadb")};
    QTemporaryDir dir;
    // KELDAN_BENCH_KEEP=1 leaves the SQLite file and the pages for a profiler.
    if (qEnvironmentVariableIsSet("KELDAN_BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::fprintf(stderr, "kept in %s\n", qPrintable(dir.path()));
    }
    std::printf("| database | stations rows | stations | tracks | wx rows | read ms (cpu) | page ms (cpu) | write ms | "
                "MiB | chromium load ms | page script ms | fill ms |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const QString &name : std::as_const(arguments)) {
        try {
            const TestDatabase db = testDatabase(name, dir.filePath(QStringLiteral("bench.db")));
            bench(db, rows, dir.path());
            command(db, dir.path());
        } catch (const OdbcError &e) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(e.describe()));
            return 1;
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), e.what());
            return 1;
        }
    }
    return 0;
}

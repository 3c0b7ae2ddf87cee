#include "report/ReportCommand.h"

#include "db/DatabaseLink.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "report/DtstampText.h"
#include "report/ReportPage.h"
#include "report/ReportReader.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>
#include <cmath>
#include <stdexcept>

int ReportCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a map, a table and weather charts of the stations the bridge recorded, as one HTML file that "
        "opens offline in any browser."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption dsn(
        QStringLiteral("dsn"), QStringLiteral("ODBC data source name."), QStringLiteral("DSN"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("User name."), QStringLiteral("USER"));
    const QCommandLineOption password(
        QStringLiteral("password"), QStringLiteral("Password."), QStringLiteral("PASSWORD"));
    const QCommandLineOption database(
        QStringLiteral("database"), QStringLiteral("Database (for SQLite: the file)."), QStringLiteral("DATABASE"));
    const QCommandLineOption since(QStringLiteral("since"),
        QStringLiteral("Start: all, a span back from now (90m, 24h, 7d, 2w) or a time "
                       "(YYYY-MM-DD[ HH:MM[:SS]]). Default 24h."),
        QStringLiteral("WHEN"), QStringLiteral("24h"));
    const QCommandLineOption until(QStringLiteral("until"),
        QStringLiteral("End, not included: a span back from now or a time. Default: none."), QStringLiteral("WHEN"));
    const QCommandLineOption utc(
        QStringLiteral("utc"), QStringLiteral("The stored times are UTC (the host's Time Zone setting is UTC)."));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("The page's title."), QStringLiteral("TEXT"),
        QStringLiteral("Stations heard"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("The HTML file to write; - for standard output."), QStringLiteral("FILE"),
        QStringLiteral("report.html"));
    const QCommandLineOption home(QStringLiteral("home"),
        QStringLiteral("Your own position in degrees, south and west negative (51.5,-0.12): the map starts there."),
        QStringLiteral("LAT,LON"));
    parser.addOptions({help, dsn, user, password, database, since, until, utc, title, output, home});

    if (!parser.parse(arguments)) {
        err << parser.errorText() << "\n"
            << "Try --help.\n";
        return 2;
    }
    if (parser.isSet(help)) {
        out << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "Unexpected argument: " << parser.positionalArguments().first() << "\nTry --help.\n";
        return 2;
    }
    if (!parser.isSet(dsn)) {
        err << "Give the data source with --dsn (and --user, --password, --database as the bridge's Setup has "
               "them).\n";
        return 2;
    }

    const QDateTime now = parser.isSet(utc) ? clock().toUTC() : clock().toLocalTime();
    ReportPeriod period;
    try {
        period = ReportPeriod::parse(parser.value(since), parser.value(until), dtstampSeconds(now));
    } catch (const std::invalid_argument &e) {
        err << QString::fromStdString(e.what()) << "\n";
        return 2;
    }

    std::optional<std::pair<double, double>> homeDeg;
    if (parser.isSet(home)) {
        const QStringList parts = parser.value(home).split(QLatin1Char(','));
        bool latOk = false, lonOk = false;
        const double lat = parts.value(0).trimmed().toDouble(&latOk);
        const double lon = parts.value(1).trimmed().toDouble(&lonOk);
        if (parts.size() != 2 || !latOk || !lonOk || std::fabs(lat) > 90 || std::fabs(lon) > 180) {
            err << "--home " << parser.value(home) << ": give latitude,longitude in degrees, such as 51.5,-0.12\n";
            return 2;
        }
        homeDeg = std::make_pair(lat, lon);
    }

    // The bridge's own connection string.
    // The SQLite driver reads a result a row at a time with StepAPI=1, where
    // it would otherwise hold the whole of it (a million rows: 350 MB more);
    // the other drivers ignore the keyword.
    const QString connectionString = DatabaseLink::driverConnectString(parser.value(database), parser.value(user),
                                         parser.value(password), parser.value(dsn))
        + QStringLiteral(";StepAPI=1");
    QElapsedTimer timer;
    timer.start();
    ReportData data;
    try {
        OdbcConnection connection(QStringLiteral("Report"));
        connection.open(connectionString);
        data = ReportReader(connection).read(period);
        connection.close();
    } catch (const OdbcError &e) {
        err << "Database: " << e.describe() << "\n";
        return 1;
    }
    const qint64 readMs = timer.restart();

    ReportPage page;
    page.title = parser.value(title);
    page.timeBase = parser.isSet(utc) ? QStringLiteral("UTC") : QStringLiteral("local time");
    page.generatedAt = dtstampText(dtstampSeconds(now));
    page.home = homeDeg;
    const QByteArray html = page.render(data);

    const QString fileName = parser.value(output);
    if (fileName == QLatin1String("-")) {
        out.flush();
        QFile stdOut;
        if (!stdOut.open(stdout, QIODevice::WriteOnly) || stdOut.write(html) != html.size()) {
            err << "Cannot write to standard output: " << stdOut.errorString() << "\n";
            return 3;
        }
        stdOut.flush();
    } else {
        // Written beside and renamed, so a browser never sees half a report.
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size() || !file.commit()) {
            err << "Cannot write " << fileName << ": " << file.errorString() << "\n";
            return 3;
        }
    }
    const qint64 writeMs = timer.elapsed();

    qsizetype tracks = 0;
    for (const StationSummary &station : std::as_const(data.stations))
        tracks += station.everMobile && station.track.size() > 1 ? 1 : 0;
    err << QStringLiteral("%1 stations rows (%2 stations, %3 tracks), %4 fixed, %5 mobile, %6 weather rows (%7 "
                          "weather stations) %8; read in %9 ms, %10 KiB written in %11 ms to %12\n")
               .arg(data.stationRows)
               .arg(data.stations.size())
               .arg(tracks)
               .arg(data.fixedRows)
               .arg(data.mobileRows)
               .arg(data.weatherRows)
               .arg(data.weather.size())
               .arg(period.describe())
               .arg(readMs)
               .arg(html.size() / 1024)
               .arg(writeMs)
               .arg(fileName);
    if (data.stationRows == 0 && (period.start() || period.end())) {
        if (data.allStationRows == 0)
            err << "Nothing heard " << period.describe() << ": the stations table is empty.\n";
        else
            err << "Nothing heard " << period.describe() << ": the stations table holds " << data.allStationRows
                << " rows, the newest of " << data.newestDtstamp << ". Try --since all, or --since "
                << data.newestDtstamp.left(10) << ".\n";
    }
    if (data.skippedRows > 0)
        err << data.skippedRows << " rows left out: a time stamp that does not read or a position off the globe.\n";
    return 0;
}

#include "report/ReportCommand.h"

#include "cli/ExitStatus.h"
#include "cli/ProgramOptions.h"
#include "db/DatabaseLink.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "report/DtstampText.h"
#include "report/ReportPage.h"
#include "report/ReportReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>
#include <cmath>
#include <stdexcept>

int ReportCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    ProgramOptions options(QStringLiteral("keldan-report"),
        QStringLiteral("Writes a map, a table and weather charts of the stations the bridge recorded, as one HTML file "
                       "that opens offline in any browser."),
        ProgramOptions::Connection::Database, QStringLiteral("local"));
    options.addDeprecatedSwitch(QStringLiteral("utc"), {QStringLiteral("--time-zone"), QStringLiteral("UTC")});
    QCommandLineParser &parser = options.parser();
    const QCommandLineOption since(QStringLiteral("since"),
        QStringLiteral("Start: all, a span back from now (90m, 24h, 7d, 2w) or a time "
                       "(YYYY-MM-DD[ HH:MM[:SS]]). Default 24h."),
        QStringLiteral("WHEN"), QStringLiteral("24h"));
    const QCommandLineOption until(QStringLiteral("until"),
        QStringLiteral("End, not included: a span back from now or a time. Default: none."), QStringLiteral("WHEN"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("The page's title."), QStringLiteral("TEXT"),
        QStringLiteral("Stations heard"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("The HTML file to write; - for standard output."), QStringLiteral("FILE"),
        QStringLiteral("report.html"));
    const QCommandLineOption home(QStringLiteral("home"),
        QStringLiteral("Your own position in degrees, south and west negative (51.5,-0.12): the map starts there."),
        QStringLiteral("LAT,LON"));
    parser.addOptions({since, until, title, output, home});

    const auto ended = [&](int status) {
        (options.action() == ProgramOptions::Action::Fail ? err : out) << options.output();
        return status;
    };
    const bool goOn = options.parse(arguments, executableFolder);
    err << options.warnings();
    if (!goOn)
        return ended(options.exitStatus());
    if (!parser.positionalArguments().isEmpty())
        return ended(
            options.fail(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().constFirst())));
    const bool utc = options.timeZone() == Qt::UTC;

    const QDateTime now = utc ? clock().toUTC() : clock().toLocalTime();
    ReportPeriod period;
    try {
        period = ReportPeriod::parse(parser.value(since), parser.value(until), dtstampSeconds(now));
    } catch (const std::invalid_argument &e) {
        return ended(options.fail(QString::fromStdString(e.what())));
    }

    std::optional<std::pair<double, double>> homeDeg;
    if (parser.isSet(home)) {
        const QStringList parts = parser.value(home).split(QLatin1Char(','));
        bool latOk = false, lonOk = false;
        const double lat = parts.value(0).trimmed().toDouble(&latOk);
        const double lon = parts.value(1).trimmed().toDouble(&lonOk);
        if (parts.size() != 2 || !latOk || !lonOk || std::fabs(lat) > 90 || std::fabs(lon) > 180)
            return ended(
                options.fail(QStringLiteral("--home %1: give latitude,longitude in degrees, such as 51.5,-0.12")
                                 .arg(parser.value(home))));
        homeDeg = std::make_pair(lat, lon);
    }

    DatabaseLogin login;
    if (const int status = options.login(environment, login); status != ExitStatus::Done)
        return ended(status);
    // Written beside and renamed, so a browser never sees half a report; opened
    // before the database is read, so that a file that cannot be written costs no query.
    const QString fileName = parser.value(output);
    QSaveFile file(fileName);
    if (fileName != QLatin1String("-") && !file.open(QIODevice::WriteOnly)) {
        err << options.errorLine(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));
        return ExitStatus::File;
    }
    // The bridge's own connection string. The SQLite driver reads a result a
    // row at a time with StepAPI=1, where it would otherwise hold the whole of
    // it (a million rows: 350 MB more); the other drivers ignore the keyword.
    const QString connectionString =
        DatabaseLink::driverConnectString(login.database, login.user, login.password, login.dsn)
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
        err << options.errorLine(QStringLiteral("database: ") + e.describe());
        return ExitStatus::Database;
    }
    const qint64 readMs = timer.restart();

    ReportPage page;
    page.title = parser.value(title);
    page.timeBase = utc ? QStringLiteral("UTC") : QStringLiteral("local time");
    page.generatedAt = dtstampText(dtstampSeconds(now));
    page.home = homeDeg;
    const QByteArray html = page.render(data);

    if (fileName == QLatin1String("-")) {
        out.flush();
        QFile stdOut;
        if (!stdOut.open(stdout, QIODevice::WriteOnly) || stdOut.write(html) != html.size()) {
            err << options.errorLine(QStringLiteral("cannot write to standard output: ") + stdOut.errorString());
            return ExitStatus::File;
        }
        stdOut.flush();
    } else {
        if (file.write(html) != html.size() || !file.commit()) {
            err << options.errorLine(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));
            return ExitStatus::File;
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
    return ExitStatus::Done;
}

// keldan-import: stores the beacons of old logs as the bridge would have
// stored them live. See "Importing old logs" in the README.
#include "config/SettingsFile.h"
#include "db/DatabaseLink.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "host/HostSettingsStore.h"
#include "import/ImportProgress.h"
#include "import/LogImporter.h"
#include "version/KeldanVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// The signal that asks to stop, or 0.
std::atomic_int stopRequested = 0;

extern "C" void requestStop(int signal)
{
    stopRequested = signal;
}

[[noreturn]] void usageError(const QString &message)
{
    std::fprintf(stderr, "keldan-import: %s\n", qPrintable(message));
    std::exit(2);
}

Qt::TimeSpec zoneOption(const QString &name, const QString &value)
{
    if (value.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0)
        return Qt::LocalTime;
    if (value.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0)
        return Qt::UTC;
    usageError(QStringLiteral("--%1 \"%2\": use local or UTC").arg(name, value));
}

// What the beacon road needs to map a beacon as the bridge's host would: your
// position, Exclusions and Time Zone. The feed settings play no part here.
StationSettings readStationSettings()
{
    const auto store = HostSettingsStore::open();
    StationSettings settings;
    QStringList problems;
    settings.readStation(*store, problems);
    if (!problems.isEmpty())
        usageError(QStringLiteral("%1: %2").arg(store->fileName(), problems.join(QStringLiteral("; "))));
    return settings;
}

}  // namespace

int main(int argc, char *argv[])
{
    // Without TZ, the C library looks at /etc/localtime again for every local
    // time it converts, two file system calls per line; the zone is the same.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("keldan-import"));
    QCoreApplication::setApplicationVersion(QLatin1String(KeldanVersion::Text));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stores the beacons of APRS logs (TNC2 lines, optionally after a time stamp; APRS-IS captures; aprx rf\n"
        "logs; the bridge's packet journal; Dire Wolf -L logs; plain, .gz, .xz or .bz2; files, pipes or - for\n"
        "standard input, each read once)\n"
        "into the bridge's database, as the bridge would have stored them when they were heard."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(QStringLiteral("program-folder"),
        QStringLiteral("Folder of the bridge's keldan.ini, for the data source and "
                       "the capture switches (default: the current folder)."),
        QStringLiteral("folder"), QDir::currentPath());
    const QCommandLineOption dsnOption(
        QStringLiteral("dsn"), QStringLiteral("ODBC data source name."), QStringLiteral("name"));
    const QCommandLineOption userOption(
        QStringLiteral("user"), QStringLiteral("Database user."), QStringLiteral("name"));
    const QCommandLineOption passwordOption(
        QStringLiteral("password"), QStringLiteral("Database password."), QStringLiteral("text"));
    const QCommandLineOption databaseOption(
        QStringLiteral("database"), QStringLiteral("Database name."), QStringLiteral("name"));
    const QCommandLineOption timeZoneOption(QStringLiteral("time-zone"),
        QStringLiteral("Zone of the stored times, local or UTC (default: the "
                       "host setting Time Zone)."),
        QStringLiteral("zone"));
    const QCommandLineOption logTimeOption(QStringLiteral("log-time"),
        QStringLiteral("Zone of log time stamps that carry none, local or UTC "
                       "(default: local). A local time that a daylight-saving change skips is moved "
                       "forward by the gap; one it repeats is taken as its first occurrence."),
        QStringLiteral("zone"), QStringLiteral("local"));
    const QString defaultBatch = QString::number(LogImporter::DefaultBeaconsPerTransaction);
    const QCommandLineOption batchOption(QStringLiteral("batch"),
        QStringLiteral("Beacons per transaction (default: %1).").arg(defaultBatch), QStringLiteral("beacons"),
        defaultBatch);
    const QCommandLineOption rejectsOption(QStringLiteral("rejects"),
        QStringLiteral("Write every bad, too long or rejected line to this file, after its file, line number "
                       "and reason."),
        QStringLiteral("file"));
    parser.addOptions({folderOption, dsnOption, userOption, passwordOption, databaseOption, timeZoneOption,
        logTimeOption, batchOption, rejectsOption});
    parser.addPositionalArgument(QStringLiteral("log"),
        QStringLiteral("Log files (- for standard input); regular files are imported in time order, pipes "
                       "after them as given."),
        QStringLiteral("log..."));
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        usageError(QStringLiteral("no log file given; see --help"));
    bool batchOk = false;
    const int batch = parser.value(batchOption).toInt(&batchOk);
    if (!batchOk || batch < 1)
        usageError(QStringLiteral("--batch \"%1\": use a number of beacons, 1 or more").arg(parser.value(batchOption)));

    // The bridge's own connection and switches, unless the options say otherwise.
    const QString folder = parser.value(folderOption);
    SettingsValues values;
    if (SettingsFile::exists(folder))
        values = SettingsFile(folder).loadConfig();
    const QString dsn = parser.isSet(dsnOption) ? parser.value(dsnOption) : values.dsn;
    const QString user = parser.isSet(userOption) ? parser.value(userOption) : values.username;
    const QString password = parser.isSet(passwordOption) ? parser.value(passwordOption) : values.password;
    const QString database = parser.isSet(databaseOption) ? parser.value(databaseOption) : values.database;

    LogImporter::Options options;
    options.switches.storeFixed = values.storeFixed.value_or(true);
    options.switches.storeMobile = values.storeMobile.value_or(true);
    options.switches.storeWx = values.storeWx.value_or(true);
    options.switches.enforceExclusions = values.enforceFilter.value_or(false);
    options.stampSpec = zoneOption(QStringLiteral("log-time"), parser.value(logTimeOption));
    options.beaconsPerTransaction = batch;
    options.rejectsPath = parser.value(rejectsOption);

    StationSettings stationSettings = readStationSettings();
    if (parser.isSet(timeZoneOption))
        stationSettings.timeZone = zoneOption(QStringLiteral("time-zone"), parser.value(timeZoneOption)) == Qt::UTC
            ? StationSettings::TimeZone::Utc
            : StationSettings::TimeZone::Local;

    OdbcConnection connection(QStringLiteral("keldan-import"));
    try {
        // The bridge's connect string, as the bridge sends it.
        connection.open(DatabaseLink::driverConnectString(database, user, password, dsn));
    } catch (const OdbcError &error) {
        std::fprintf(
            stderr, "keldan-import: cannot connect to %s: %s\n", qPrintable(dsn), qPrintable(error.describe()));
        return 1;
    }

    // Without SA_RESTART: a signal also ends a read that waits on a pipe.
    struct sigaction action {
    };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);

    const QStringList ordered = LogImporter::inTimeOrder(files, options.stampSpec);
    ImportProgress progress(stderr, ::isatty(STDERR_FILENO) == 1);
    LogImporter importer(stationSettings, connection, options);
    const ImportSummary summary = importer.run(ordered, &progress, &stopRequested);
    std::fputs(qPrintable(summary.text()), stdout);
    try {
        connection.close();
    } catch (const OdbcError &) {
        // Everything was committed or rolled back already.
    }
    if (summary.interrupted)
        return 128 + summary.stopSignal;
    return summary.problems.isEmpty() ? 0 : 1;
}

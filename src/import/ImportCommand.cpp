#include "import/ImportCommand.h"

#include "cli/ExitStatus.h"
#include "cli/ProgramOptions.h"
#include "db/DatabaseLink.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "host/HostSettingsStore.h"
#include "import/ImportProgress.h"
#include "import/LogImporter.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {

std::optional<Qt::TimeSpec> zoneNamed(const QString &value)
{
    if (value.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0)
        return Qt::LocalTime;
    if (value.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0)
        return Qt::UTC;
    return std::nullopt;
}

}  // namespace

int ImportCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    ProgramOptions options(QStringLiteral("keldan-import"),
        QStringLiteral(
            "Stores the beacons of APRS logs (TNC2 lines, optionally after a time stamp; aprx logs; .gz "
            "files)\ninto the bridge's database, as the bridge would have stored them when they were heard."),
        ProgramOptions::Connection::Database);
    QCommandLineParser &parser = options.parser();
    const QCommandLineOption logTimeOption(QStringLiteral("log-time"),
        QStringLiteral("Zone of log time stamps that carry none, local or UTC (default: local)."),
        QStringLiteral("local|UTC"), QStringLiteral("local"));
    const QString defaultBatch = QString::number(LogImporter::DefaultBeaconsPerTransaction);
    const QCommandLineOption batchOption(QStringLiteral("batch"),
        QStringLiteral("Beacons per transaction (default: %1).").arg(defaultBatch), QStringLiteral("beacons"),
        defaultBatch);
    parser.addOptions({logTimeOption, batchOption});
    parser.addPositionalArgument(
        QStringLiteral("log"), QStringLiteral("Log files, imported in time order."), QStringLiteral("log..."));

    const auto ended = [&](int status) {
        (options.action() == ProgramOptions::Action::Fail ? err : out) << options.output();
        return status;
    };
    const bool goOn = options.parse(arguments, executableFolder);
    err << options.warnings();
    err.flush();
    if (!goOn)
        return ended(options.exitStatus());

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return ended(options.fail(QStringLiteral("no log file given.")));
    bool batchOk = false;
    const int batch = parser.value(batchOption).toInt(&batchOk);
    if (!batchOk || batch < 1)
        return ended(options.fail(
            QStringLiteral("--batch '%1': use a number of beacons, 1 or more.").arg(parser.value(batchOption))));
    const std::optional<Qt::TimeSpec> logTime = zoneNamed(parser.value(logTimeOption));
    if (!logTime)
        return ended(
            options.fail(QStringLiteral("--log-time '%1': use local or UTC.").arg(parser.value(logTimeOption))));
    for (const QString &file : files) {
        const QFileInfo info(file);
        if (!info.exists())
            return ended(options.fail(QStringLiteral("the log '%1' does not exist.").arg(file)));
        QFile readable(file);
        if (info.isDir() || !readable.open(QIODevice::ReadOnly)) {
            err << options.errorLine(
                QStringLiteral("cannot read the log '%1': %2")
                    .arg(file, info.isDir() ? QStringLiteral("Is a folder") : readable.errorString()));
            return ExitStatus::File;
        }
    }

    // The bridge's own connection and switches, unless the options say otherwise.
    DatabaseLogin login;
    SettingsValues values;
    if (const int status = options.login(environment, login, &values); status != ExitStatus::Done)
        return ended(status);

    // What the beacon road needs to map a beacon as the bridge's host would:
    // your position, Exclusions and Time Zone. The feed settings play no part here.
    const auto store = HostSettingsStore::open();
    StationSettings stationSettings;
    QStringList problems;
    stationSettings.readStation(*store, problems);
    if (!problems.isEmpty())
        return ended(
            options.fail(QStringLiteral("%1: %2").arg(store->fileName(), problems.join(QStringLiteral("; ")))));
    if (const auto zone = options.timeZone())
        stationSettings.timeZone = *zone == Qt::UTC ? StationSettings::TimeZone::Utc : StationSettings::TimeZone::Local;

    LogImporter::Options importOptions;
    importOptions.switches.storeFixed = values.storeFixed.value_or(true);
    importOptions.switches.storeMobile = values.storeMobile.value_or(true);
    importOptions.switches.storeWx = values.storeWx.value_or(true);
    importOptions.switches.enforceExclusions = values.enforceFilter.value_or(false);
    importOptions.stampSpec = *logTime;
    importOptions.beaconsPerTransaction = batch;

    OdbcConnection connection(QStringLiteral("keldan-import"));
    try {
        // The bridge's connect string, as the bridge sends it.
        connection.open(DatabaseLink::driverConnectString(login.database, login.user, login.password, login.dsn));
    } catch (const OdbcError &error) {
        err << options.errorLine(QStringLiteral("cannot connect to %1: %2").arg(login.dsn, error.describe()));
        return ExitStatus::Database;
    }

    const QStringList ordered = LogImporter::inTimeOrder(files, importOptions.stampSpec);
    std::unique_ptr<ImportProgress> progress;
    if (progressStream)
        progress = std::make_unique<ImportProgress>(progressStream, progressOnTerminal);
    LogImporter importer(stationSettings, connection, importOptions);
    const ImportSummary summary = importer.run(ordered, progress.get(), stop);
    out << summary.text();
    try {
        connection.close();
    } catch (const OdbcError &) {
        // Everything was committed or rolled back already.
    }
    if (summary.interrupted)
        return 130;
    return summary.problems.isEmpty() ? ExitStatus::Done : ExitStatus::Database;
}

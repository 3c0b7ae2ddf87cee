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

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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
            "Stores the beacons of APRS logs (TNC2 lines, optionally after a time stamp; APRS-IS captures; aprx rf\n"
            "logs; the bridge's packet journal; Dire Wolf -L logs; plain, .gz, .xz or .bz2; files, pipes or - for\n"
            "standard input, each read once)\n"
            "into the bridge's database, as the bridge would have stored them when they were heard."),
        ProgramOptions::Connection::Database);
    QCommandLineParser &parser = options.parser();
    const QCommandLineOption logTimeOption(QStringLiteral("log-time"),
        QStringLiteral("Zone of log time stamps that carry none, local or UTC (default: local). A local time "
                       "that a daylight-saving change skips is moved forward by the gap; one it repeats is taken "
                       "as its first occurrence."),
        QStringLiteral("local|UTC"), QStringLiteral("local"));
    const QString defaultBatch = QString::number(LogImporter::DefaultBeaconsPerTransaction);
    const QCommandLineOption batchOption(QStringLiteral("batch"),
        QStringLiteral("Beacons per transaction (default: %1).").arg(defaultBatch), QStringLiteral("beacons"),
        defaultBatch);
    const QCommandLineOption rejectsOption(QStringLiteral("rejects"),
        QStringLiteral("Write every bad, too long or rejected line to this file, after its file, line number "
                       "and reason."),
        QStringLiteral("file"));
    parser.addOptions({logTimeOption, batchOption, rejectsOption});
    parser.addPositionalArgument(QStringLiteral("log"),
        QStringLiteral("Log files (- for standard input); regular files are imported in time order, pipes "
                       "after them as given."),
        QStringLiteral("log..."));

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
        // Standard input and pipes are read once, as they come: opening a
        // named pipe here would wait for its writer.
        if (file == QLatin1String("-"))
            continue;
        const QFileInfo info(file);
        struct stat status = {};
        if (stat(QFile::encodeName(file).constData(), &status) == 0 && S_ISFIFO(status.st_mode)) {
            if (access(QFile::encodeName(file).constData(), R_OK) != 0) {
                err << options.errorLine(QStringLiteral("cannot read the log '%1': %2")
                                             .arg(file, QString::fromLocal8Bit(std::strerror(errno))));
                return ExitStatus::File;
            }
            continue;
        }
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
    importOptions.rejectsPath = parser.value(rejectsOption);

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
        return 128 + (summary.stopSignal > 0 ? summary.stopSignal : SIGINT);
    return summary.problems.isEmpty() ? ExitStatus::Done : ExitStatus::Database;
}

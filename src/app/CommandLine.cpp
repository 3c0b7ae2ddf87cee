#include "app/CommandLine.h"

#include "cli/ProgramOptions.h"

#include <QFileInfo>

static_assert(int(CommandLine::Action::Fail) == int(ProgramOptions::Action::Fail)
    && int(CommandLine::Action::ShowVersion) == int(ProgramOptions::Action::ShowVersion)
    && int(CommandLine::Action::ShowHelp) == int(ProgramOptions::Action::ShowHelp));

CommandLine CommandLine::parse(const QStringList &arguments, const QString &executableFolder)
{
    ProgramOptions options(QStringLiteral("keldan"),
        QStringLiteral("Keldan Bridge records every APRS station it hears into an SQL database through ODBC.\n"
                       "Its settings are keldan.ini in the program folder; the feed and the station are read from\n"
                       "$XDG_CONFIG_HOME/Peak Systems/UI-View32.conf, or from the --config file. Without a display it\n"
                       "runs on Qt's offscreen platform. See keldan(1) and keldan.conf(5)."),
        ProgramOptions::Connection::None);
    const QCommandLineOption config(QStringLiteral("config"),
        QStringLiteral("Read the feeds and the station from FILE (keldan.conf(5)) instead of the per-user store."),
        QStringLiteral("FILE"));
    options.parser().addOption(config);
    CommandLine result;
    if (!options.parse(arguments, executableFolder)) {
        result.mAction = Action(int(options.action()));
        result.mOutput = options.output();
        return result;
    }
    if (!options.parser().positionalArguments().isEmpty()) {
        options.fail(
            QStringLiteral("unexpected argument '%1'.").arg(options.parser().positionalArguments().constFirst()));
        result.mAction = Action::Fail;
        result.mOutput = options.output();
        return result;
    }
    if (options.parser().isSet(config)) {
        const QString given = options.parser().value(config);
        if (given.isEmpty()) {
            options.fail(QStringLiteral("--config names no file."));
            result.mAction = Action::Fail;
            result.mOutput = options.output();
            return result;
        }
        result.mConfigFile = QFileInfo(given).absoluteFilePath();
    }
    result.mProgramFolder = options.programFolder();
    result.mTimeZone = options.timeZone();
    return result;
}

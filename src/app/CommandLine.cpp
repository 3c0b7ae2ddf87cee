#include "app/CommandLine.h"

#include "cli/ProgramOptions.h"

static_assert(int(CommandLine::Action::Fail) == int(ProgramOptions::Action::Fail)
    && int(CommandLine::Action::ShowVersion) == int(ProgramOptions::Action::ShowVersion)
    && int(CommandLine::Action::ShowHelp) == int(ProgramOptions::Action::ShowHelp));

CommandLine CommandLine::parse(const QStringList &arguments, const QString &executableFolder)
{
    ProgramOptions options(QStringLiteral("keldan"),
        QStringLiteral("Keldan Bridge records every APRS station it hears into an SQL database through ODBC.\n"
                       "Its settings are keldan.ini in the program folder; the feed and the station are read from\n"
                       "$XDG_CONFIG_HOME/Peak Systems/UI-View32.conf. Without a display it runs on Qt's offscreen\n"
                       "platform. See keldan(1)."),
        ProgramOptions::Connection::None);
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
    result.mProgramFolder = options.programFolder();
    result.mTimeZone = options.timeZone();
    return result;
}

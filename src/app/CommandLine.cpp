#include "app/CommandLine.h"

#include "version/KeldanVersion.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

const QString ProgramName = QStringLiteral("keldan");

CommandLine::Action failWith(const QString &message, QString &output)
{
    output = ProgramName + QStringLiteral(": ") + message + QStringLiteral("\nTry '") + ProgramName
        + QStringLiteral(" --help' for more information.\n");
    return CommandLine::Action::Fail;
}

}  // namespace

QString CommandLine::versionText()
{
    return ProgramName + QLatin1Char(' ') + QLatin1String(KeldanVersion::Text) + QLatin1Char('\n');
}

CommandLine CommandLine::parse(const QStringList &arguments, const QString &executableFolder)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keldan Bridge records every APRS station it hears into an SQL database through ODBC.\n"
                       "Its settings are keldan.ini in the program folder; the feed and the station are read from\n"
                       "$XDG_CONFIG_HOME/Peak Systems/UI-View32.conf, or from the --config file. Without a display it\n"
                       "runs on Qt's offscreen platform. See keldan(1) and keldan.conf(5)."));
    const QCommandLineOption help(
        QStringList {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and end."));
    const QCommandLineOption version(
        QStringList {QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and end."));
    const QCommandLineOption folder(QStringLiteral("program-folder"),
        QStringLiteral("The folder that holds keldan.ini (default: the program's own folder)."), QStringLiteral("DIR"));
    const QCommandLineOption config(QStringLiteral("config"),
        QStringLiteral("Read the feeds and the station from FILE (keldan.conf(5)) instead of the per-user store."),
        QStringLiteral("FILE"));
    parser.addOptions({help, version, folder, config});

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.mAction = failWith(parser.errorText(), result.mOutput);
        return result;
    }
    if (parser.isSet(help)) {
        result.mAction = Action::ShowHelp;
        result.mOutput = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.mAction = Action::ShowVersion;
        result.mOutput = versionText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.mAction = failWith(
            QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()), result.mOutput);
        return result;
    }

    if (parser.isSet(config)) {
        const QString given = parser.value(config);
        if (given.isEmpty()) {
            result.mAction = failWith(QStringLiteral("--config names no file."), result.mOutput);
            return result;
        }
        result.mConfigFile = QFileInfo(given).absoluteFilePath();
    }

    QString chosen = executableFolder;
    if (parser.isSet(folder)) {
        const QString given = parser.value(folder);
        const QFileInfo info(given);
        if (given.isEmpty() || !info.exists()) {
            result.mAction =
                failWith(QStringLiteral("the program folder '%1' does not exist.").arg(given), result.mOutput);
            return result;
        }
        if (!info.isDir()) {
            result.mAction =
                failWith(QStringLiteral("the program folder '%1' is not a folder.").arg(given), result.mOutput);
            return result;
        }
        chosen = info.absoluteFilePath();
    }
    result.mProgramFolder = QDir::cleanPath(chosen);
    return result;
}

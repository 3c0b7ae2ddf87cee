#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the arguments ask of the program. Qt's own options (-platform, -style,
// ...) are taken out by QApplication before these are read.
class CommandLine
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Fail };

    // A usage error: an unknown option, a missing value, a folder that is not there.
    static constexpr int UsageErrorStatus = 2;

    // arguments: the program's name first, as QCoreApplication::arguments();
    // executableFolder: the default program folder.
    static CommandLine parse(const QStringList &arguments, const QString &executableFolder);

    Action action() const { return mAction; }
    // The folder that holds keldan.ini: absolute, without a trailing slash.
    const QString &programFolder() const { return mProgramFolder; }
    // --time-zone: the zone of the stored times in place of the host's Time Zone setting.
    std::optional<Qt::TimeSpec> timeZone() const { return mTimeZone; }
    // The host's settings file of --config, absolute; empty without it.
    const QString &configFile() const { return mConfigFile; }
    // For ShowHelp and ShowVersion the text for standard output; for Fail the
    // message for standard error. Each ends with a newline.
    const QString &output() const { return mOutput; }
    int exitStatus() const { return mAction == Action::Fail ? UsageErrorStatus : 0; }

private:
    Action mAction = Action::Run;
    QString mProgramFolder;
    std::optional<Qt::TimeSpec> mTimeZone;
    QString mConfigFile;
    QString mOutput;
};

#pragma once

#include "cli/DatabaseLogin.h"

#include <QCommandLineParser>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

struct SettingsValues;

// The options keldan, keldan-import and keldan-report share: --help,
// --version, --program-folder DIR (default: the program's own folder, where
// the bridge keeps keldan.ini) and --time-zone local|UTC; with Connection,
// also --dsn, --user, --database and --password-file FILE. A program adds
// its own options to parser() before parse().
class ProgramOptions
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Fail };
    enum class Connection { None, Database };

    // timeZoneDefault: what --time-zone's help says stands without it.
    ProgramOptions(const QString &programName, const QString &description, Connection connection,
        const QString &timeZoneDefault = QStringLiteral("the host's Time Zone setting"));

    QCommandLineParser &parser() { return mParser; }
    const QCommandLineParser &parser() const { return mParser; }

    // An old spelling still taken: oldName (without its dashes) stands for
    // the arguments replacement, with a warning.
    void addDeprecatedSwitch(const QString &oldName, const QStringList &replacement);

    // arguments: the program's name first; executableFolder: the default
    // program folder, QCoreApplication::applicationDirPath() when empty. False when the program ends here:
    // after --help or --version (output() for standard output) or a usage
    // error (output() for standard error); exitStatus() says how.
    bool parse(const QStringList &arguments, const QString &executableFolder);

    Action action() const { return mAction; }
    const QString &output() const { return mOutput; }
    int exitStatus() const;
    // Lines for standard error about spellings that will go, each ending in a newline.
    const QString &warnings() const { return mWarnings; }

    // Turns the parse into a usage error of the program's own; returns its exit status.
    int fail(const QString &message);
    // "keldan-import: message\n": a failure that is no usage error.
    QString errorLine(const QString &message) const;

    // Absolute, without a trailing slash.
    const QString &programFolder() const { return mProgramFolder; }
    // Set when --time-zone was given.
    std::optional<Qt::TimeSpec> timeZone() const { return mZone; }

    // The data source of keldan.ini in the program folder (the built-in
    // values when there is none), each part replaced by its option when
    // given; the password from --password-file (its first line), else
    // KELDAN_PASSWORD, else keldan.ini. settings, when given, receives what
    // keldan.ini holds. Returns the exit status: Done, or File (keldan.ini
    // or the password file cannot be read) with the message in output().
    int login(const QProcessEnvironment &environment, DatabaseLogin &login, SettingsValues *settings = nullptr);

    QString versionText() const;

    static inline const QString PasswordVariable = QStringLiteral("KELDAN_PASSWORD");

private:
    QStringList rewritten(const QStringList &arguments);
    int fileFailure(const QString &message);

    QString mName;
    Connection mConnection;
    QCommandLineParser mParser;
    QCommandLineOption mHelp;
    QCommandLineOption mVersion;
    QCommandLineOption mFolder;
    QCommandLineOption mTimeZone;
    QCommandLineOption mDsn;
    QCommandLineOption mUser;
    QCommandLineOption mDatabase;
    QCommandLineOption mPasswordFile;
    QCommandLineOption mPassword;
    QList<std::pair<QString, QStringList>> mDeprecated;

    Action mAction = Action::Run;
    QString mOutput;
    QString mWarnings;
    QString mProgramFolder;
    std::optional<Qt::TimeSpec> mZone;
};

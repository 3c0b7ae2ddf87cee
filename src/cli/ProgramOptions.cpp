#include "cli/ProgramOptions.h"

#include "cli/ExitStatus.h"
#include "settings/FileError.h"
#include "settings/SettingsFile.h"
#include "version/KeldanVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

ProgramOptions::ProgramOptions(
    const QString &programName, const QString &description, Connection connection, const QString &timeZoneDefault)
    : mName(programName), mConnection(connection),
      mHelp({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and end.")),
      mVersion({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and end.")),
      mFolder(QStringLiteral("program-folder"),
          QStringLiteral("The folder that holds the bridge's keldan.ini (default: the program's own folder)."),
          QStringLiteral("DIR")),
      mTimeZone(QStringLiteral("time-zone"),
          QStringLiteral("The zone of the stored times, local or UTC (default: %1).").arg(timeZoneDefault),
          QStringLiteral("local|UTC")),
      mDsn(QStringLiteral("dsn"), QStringLiteral("ODBC data source name (default: keldan.ini's)."),
          QStringLiteral("DSN")),
      mUser(QStringLiteral("user"), QStringLiteral("Database user (default: keldan.ini's)."), QStringLiteral("USER")),
      mDatabase(QStringLiteral("database"), QStringLiteral("Database, for SQLite the file (default: keldan.ini's)."),
          QStringLiteral("DATABASE")),
      mPasswordFile(QStringLiteral("password-file"),
          QStringLiteral("Read the password from the first line of FILE (default: $%1, else keldan.ini's).")
              .arg(PasswordVariable),
          QStringLiteral("FILE")),
      mPassword(QStringLiteral("password"), QString(), QStringLiteral("TEXT"))
{
    mParser.setApplicationDescription(description);
    mParser.addOptions({mHelp, mVersion, mFolder, mTimeZone});
    if (mConnection == Connection::Database) {
        // Taken only to say what replaces it: every user of the machine sees
        // a program's arguments.
        mPassword.setFlags(QCommandLineOption::HiddenFromHelp);
        mParser.addOptions({mDsn, mUser, mDatabase, mPasswordFile, mPassword});
    }
}

void ProgramOptions::addDeprecatedSwitch(const QString &oldName, const QStringList &replacement)
{
    mDeprecated.append({oldName, replacement});
}

QStringList ProgramOptions::rewritten(const QStringList &arguments)
{
    QStringList result;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            optionsEnded = true;
        bool replaced = false;
        for (const auto &[oldName, replacement] : std::as_const(mDeprecated)) {
            if (!optionsEnded && argument == QLatin1String("--") + oldName) {
                result += replacement;
                mWarnings +=
                    errorLine(QStringLiteral("--%1 is deprecated; use %2").arg(oldName, replacement.join(' ')));
                replaced = true;
                break;
            }
        }
        if (!replaced)
            result << argument;
    }
    return result;
}

int ProgramOptions::exitStatus() const
{
    return mAction == Action::Fail ? ExitStatus::Usage : ExitStatus::Done;
}

int ProgramOptions::fail(const QString &message)
{
    mAction = Action::Fail;
    mOutput = errorLine(message) + QStringLiteral("Try '%1 --help' for more information.\n").arg(mName);
    return ExitStatus::Usage;
}

QString ProgramOptions::errorLine(const QString &message) const
{
    return mName + QStringLiteral(": ") + message + QLatin1Char('\n');
}

QString ProgramOptions::versionText() const
{
    return mName + QLatin1Char(' ') + QLatin1String(KeldanVersion::Text) + QLatin1Char('\n');
}

bool ProgramOptions::parse(const QStringList &arguments, const QString &executableFolder)
{
    mAction = Action::Run;
    mOutput.clear();
    mWarnings.clear();
    mZone.reset();
    if (!mParser.parse(rewritten(arguments))) {
        fail(mParser.errorText());
        return false;
    }
    if (mParser.isSet(mHelp)) {
        mAction = Action::ShowHelp;
        mOutput = mParser.helpText();
        return false;
    }
    if (mParser.isSet(mVersion)) {
        mAction = Action::ShowVersion;
        mOutput = versionText();
        return false;
    }
    if (mConnection == Connection::Database && mParser.isSet(mPassword)) {
        fail(QStringLiteral("--password is gone, since every user of the machine sees the arguments; use "
                            "--password-file FILE, the environment variable %1 or keldan.ini's PASSWORD=")
                 .arg(PasswordVariable));
        return false;
    }

    if (mParser.isSet(mTimeZone)) {
        const QString zone = mParser.value(mTimeZone);
        if (zone.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0)
            mZone = Qt::LocalTime;
        else if (zone.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0)
            mZone = Qt::UTC;
        else {
            fail(QStringLiteral("--time-zone '%1': use local or UTC.").arg(zone));
            return false;
        }
    }

    QString chosen = executableFolder.isEmpty() ? QCoreApplication::applicationDirPath() : executableFolder;
    if (mParser.isSet(mFolder)) {
        const QString given = mParser.value(mFolder);
        const QFileInfo info(given);
        if (given.isEmpty() || !info.exists()) {
            fail(QStringLiteral("the program folder '%1' does not exist.").arg(given));
            return false;
        }
        if (!info.isDir()) {
            fail(QStringLiteral("the program folder '%1' is not a folder.").arg(given));
            return false;
        }
        chosen = info.absoluteFilePath();
    }
    mProgramFolder = QDir::cleanPath(chosen);

    if (mConnection == Connection::Database && mParser.isSet(mPasswordFile)) {
        const QString file = mParser.value(mPasswordFile);
        if (file.isEmpty() || !QFileInfo::exists(file)) {
            fail(QStringLiteral("the password file '%1' does not exist.").arg(file));
            return false;
        }
    }
    return true;
}

int ProgramOptions::fileFailure(const QString &message)
{
    mAction = Action::Fail;
    mOutput = errorLine(message);
    return ExitStatus::File;
}

int ProgramOptions::login(const QProcessEnvironment &environment, DatabaseLogin &login, SettingsValues *settingsRead)
{
    SettingsValues settings;
    const SettingsFile settingsFile(mProgramFolder);
    if (QFileInfo(settingsFile.settingsPath()).isFile()) {
        try {
            settings = settingsFile.loadConfig();
        } catch (const FileError &e) {
            return fileFailure(e.text());
        }
    }
    if (settingsRead)
        *settingsRead = settings;
    login.dsn = mParser.isSet(mDsn) ? mParser.value(mDsn) : settings.dsn;
    login.user = mParser.isSet(mUser) ? mParser.value(mUser) : settings.username;
    login.database = mParser.isSet(mDatabase) ? mParser.value(mDatabase) : settings.database;
    if (mParser.isSet(mPasswordFile)) {
        QFile file(mParser.value(mPasswordFile));
        if (!file.open(QIODevice::ReadOnly))
            return fileFailure(
                QStringLiteral("cannot read the password file '%1': %2").arg(file.fileName(), file.errorString()));
        login.password = SettingsFile::singleLine(QString::fromUtf8(file.readLine()));
    } else if (environment.contains(PasswordVariable)) {
        login.password = environment.value(PasswordVariable);
    } else {
        login.password = settings.password;
    }
    return ExitStatus::Done;
}

#include "db/DatabaseLink.h"

#include "db/DbLog.h"
#include "db/OdbcConnection.h"
#include "db/OdbcEnvironment.h"
#include "db/OdbcError.h"

DatabaseLink::DatabaseLink() = default;
DatabaseLink::~DatabaseLink() = default;

QString DatabaseLink::connectString(
    const QString &database, const QString &user, const QString &password, const QString &dsn)
{
    return QStringLiteral("ODBC;DATABASE=") + database + QStringLiteral(";UID=") + user + QStringLiteral(";PWD=")
        + password + QStringLiteral(";DSN=") + dsn;
}

QString DatabaseLink::driverConnectString(
    const QString &database, const QString &user, const QString &password, const QString &dsn)
{
    return connectString(database, user, password, dsn).mid(int(qstrlen("ODBC;")));
}

void DatabaseLink::logon(
    const QString &dsn, const QString &username, const QString &password, const QString &database, View &view)
{
    mConnected = false;
    OdbcEnvironment::process();
    mWorkspace = std::make_unique<OdbcWorkspace>(
        OdbcWorkspace {QStringLiteral("NewODBCWorkspace"), QStringLiteral("admin"), QString(), dbUseODBC, true});
    auto connection = std::make_unique<OdbcConnection>(QStringLiteral("Connection1"));
    try {
        connection->open(driverConnectString(database, username, password, dsn));
    } catch (const OdbcError &e) {
        qCWarning(lcDb).noquote() << QStringLiteral("logon to %1 as %2 failed: %3")
                                         .arg(dsn, username, withoutPassword(e.describe(), password));
        throw;
    }
    qCInfo(lcDb).noquote() << QStringLiteral("connected to %1 as %2 (%3, database %4)")
                                  .arg(dsn, username, connection->dbmsName(), database);
    mConnection = std::move(connection);
    view.setStatus(QStringLiteral("Connected: ") + username + QStringLiteral("@") + dsn, QString());
    mConnected = true;
    view.setLinkConnected(true);
}

void DatabaseLink::logOff(View &view)
{
    if (mConnected) {
        view.setLinkConnected(false);
        mConnected = false;
        qCInfo(lcDb) << "disconnected";
        mConnection->close();
        mWorkspace->open = false;
    }
    view.setStatus(QStringLiteral("Dis-Connected"), QString());
}

void DatabaseLink::execute(const QString &statement)
{
    if (!mConnection)
        throw OdbcError(QStringLiteral("Execute"),
            {OdbcDiagnostic {QStringLiteral("08003"), 0, QStringLiteral("Connection not open")}});
    mConnection->execute(statement);
}

bool DatabaseLink::connectionDead() const
{
    return mConnection && mConnection->isDead();
}

QString DatabaseLink::withoutPassword(const QString &text, const QString &password)
{
    if (password.isEmpty())
        return text;
    QString out = text;
    return out.replace(password, QStringLiteral("*****"));
}

SqlDialect DatabaseLink::dialect() const
{
    return mConnection ? mConnection->dialect() : SqlDialect::Standard;
}

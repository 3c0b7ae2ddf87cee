#include "db/DatabaseLink.h"

#include "db/DbLog.h"
#include "db/LiteralRule.h"
#include "db/OdbcConnection.h"
#include "db/OdbcEnvironment.h"
#include "db/OdbcError.h"

namespace {

// The schema script of a DBMS, as it lies in the source tree and beside the
// installed programs.
QString schemaFileOf(const QString &dbmsName)
{
    switch (LiteralRule::family(dbmsName)) {
    case LiteralRule::Family::PostgreSql:
        return QStringLiteral("db/schema/postgresql.sql");
    case LiteralRule::Family::MySql:
        return QStringLiteral("db/schema/mariadb.sql");
    case LiteralRule::Family::Standard:
        break;
    }
    return QStringLiteral("db/schema/sqlite.sql");
}

// A select that reads no row fails on a missing table (a mistyped SQLite
// database name opens an empty file); throws naming each one missing.
void requireTables(OdbcConnection &connection)
{
    QStringList missing;
    QList<OdbcDiagnostic> records;
    for (const QString &table : DatabaseLink::tableNames()) {
        try {
            connection.queryRows(QStringLiteral("select * from %1 where 1=0").arg(table), QString());
        } catch (const OdbcError &e) {
            missing << table;
            records << e.diagnostics();
        }
    }
    if (missing.isEmpty())
        return;
    records.prepend({QStringLiteral("42S02"), 0,
        QStringLiteral("The database has no table %1: run %2 on it")
            .arg(missing.join(QStringLiteral(", ")), schemaFileOf(connection.dbmsName()))});
    throw OdbcError(QStringLiteral("Checking the tables"), records);
}

}  // namespace

DatabaseLink::DatabaseLink() = default;
DatabaseLink::~DatabaseLink() = default;

const QStringList &DatabaseLink::tableNames()
{
    static const QStringList names = {QStringLiteral("stations"), QStringLiteral("fixed_data"),
        QStringLiteral("mobile_data"), QStringLiteral("wx_data")};
    return names;
}

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
        requireTables(*connection);
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

QString DatabaseLink::dbmsName() const
{
    return mConnection ? mConnection->dbmsName() : QString();
}

bool DatabaseLink::anyRow(const QString &select)
{
    if (!mConnection)
        throw OdbcError(QStringLiteral("Execute"),
            {OdbcDiagnostic {QStringLiteral("08003"), 0, QStringLiteral("Connection not open")}});
    bool found = false;
    mConnection->forEachRow(select, QString(), [&found](const QStringList &) { found = true; });
    return found;
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

#include "db/DatabaseLink.h"

#include "db/OdbcConnection.h"
#include "db/OdbcEnvironment.h"
#include "db/OdbcError.h"

DatabaseLink::DatabaseLink() = default;
DatabaseLink::~DatabaseLink() = default;

QString DatabaseLink::connectString(const QString &database, const QString &user, const QString &password,
                                    const QString &dsn)
{
    return QStringLiteral("ODBC;DATABASE=") + database + QStringLiteral(";UID=") + user + QStringLiteral(";PWD=") + password
        + QStringLiteral(";DSN=") + dsn;
}

void DatabaseLink::logon(const QString &dsn, const QString &username, const QString &password,
                         const QString &database, View &view, HostApplication *host)
{
    try {
        mConnected = false;
        OdbcEnvironment::process();
        mWorkspace = std::make_unique<OdbcWorkspace>(
            OdbcWorkspace{QStringLiteral("NewODBCWorkspace"), QStringLiteral("admin"), QString(), dbUseODBC, true});
        const QString odbcConnect = connectString(database, username, password, dsn);
        auto connection = std::make_unique<OdbcConnection>(QStringLiteral("Connection1"));
        // Everything after "ODBC;" is what the driver manager receives.
        connection->open(odbcConnect.mid(int(qstrlen("ODBC;"))));
        mConnection = std::move(connection);
        view.setStatus(QStringLiteral("Connected: ") + username + QStringLiteral("@") + dsn, QString());
        mConnected = true;
        if (host == nullptr)
            throw HostError("no host application is attached");
        host->setAddOnConnected(HostTrue);
    } catch (const OdbcError &e) {
        view.setStatus(QStringLiteral("Error ") + QString::number(e.statusNumber()), e.describe());
    } catch (const HostError &e) {
        view.setStatus(QStringLiteral("Error ") + QString::number(HostCallErrorNumber), QString::fromStdString(e.what()));
    } catch (const std::exception &e) {
        view.setStatus(QStringLiteral("Error 1"), QString::fromStdString(e.what()));
    }
}

void DatabaseLink::logOff(View &view, HostApplication *host)
{
    if (mConnected) {
        if (host == nullptr)
            throw HostError("no host application is attached");
        host->setAddOnConnected(HostFalse);
        mConnected = false;
        mConnection->close();
        mWorkspace->open = false;
    }
    view.setStatus(QStringLiteral("Dis-Connected"), QString());
}

void DatabaseLink::execute(const QString &statement)
{
    if (!mConnection)
        throw OdbcError(QStringLiteral("Execute"), {OdbcDiagnostic{QStringLiteral("08003"), 0, QStringLiteral("Connection not open")}});
    mConnection->execute(statement);
}

SqlDialect DatabaseLink::dialect() const
{
    return mConnection ? mConnection->dialect() : SqlDialect::Standard;
}

#include "TestDatabases.h"

#include "db/OdbcConnection.h"
#include "db/OdbcError.h"

#include <QFile>
#include <QProcess>
#include <stdexcept>

namespace {

const QStringList TableNames = {
    QStringLiteral("stations"), QStringLiteral("fixed_data"), QStringLiteral("mobile_data"), QStringLiteral("wx_data")};
// The schema's views, dropped first: PostgreSQL keeps a table that a view uses.
const QStringList ViewNames = {QStringLiteral("wx_beacons"), QStringLiteral("mobile_beacons"),
    QStringLiteral("fixed_beacons"), QStringLiteral("latest_positions"), QStringLiteral("station_positions")};

QString schemaBaseName(const TestDatabase &db)
{
    if (db.name == QLatin1String("postgres"))
        return QStringLiteral("postgresql");
    return db.name;
}

void runServerScript(const QString &command, const QString &root, const QString &statement = QString(),
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.setProcessEnvironment(environment);
    QStringList arguments = {QStringLiteral(KELDAN_SOURCE_DIR "/scripts/db-servers.sh"), command,
        root.isEmpty() ? QStringLiteral(KELDAN_DBSERVERS_ROOT) : root};
    if (!statement.isNull())
        arguments << statement;
    script.start(QStringLiteral("bash"), arguments);
    const bool finished = script.waitForFinished(180'000);
    const QString output = QString::fromLocal8Bit(script.readAll());
    if (!finished || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        throw std::runtime_error(
            QStringLiteral("db-servers.sh %1 %2 failed: %3").arg(command, statement, output.trimmed()).toStdString());
}

}  // namespace

void createSqliteFile(const TestDatabase &db)
{
    // An empty file is an empty SQLite database; the data source never
    // creates one (NoCreat), nor a folder.
    if (db.needsServer() || QFile::exists(db.database))
        return;
    QFile empty(db.database);
    if (!empty.open(QIODevice::WriteOnly))
        throw std::runtime_error(
            QStringLiteral("cannot create %1: %2").arg(empty.fileName(), empty.errorString()).toStdString());
}

QString TestDatabase::connectionString() const
{
    return QStringLiteral("DATABASE=%1;UID=%2;PWD=%3;DSN=%4").arg(database, user, password, dsn);
}

TestDatabase testDatabase(const QString &name, const QString &sqliteFile)
{
    const QString server = QStringLiteral("keldan");
    if (name == QLatin1String("sqlite"))
        return {name, QStringLiteral("myodbc3-test"), sqliteFile, QStringLiteral("sa"), QString(), SqlDialect::Standard,
            QString()};
    if (name == QLatin1String("postgres"))
        return {name, QStringLiteral("keldan-postgres"), server, server, server, SqlDialect::Standard, QString()};
    if (name == QLatin1String("mariadb"))
        return {
            name, QStringLiteral("keldan-mariadb"), server, server, server, SqlDialect::BackslashEscapes, QString()};
    throw std::invalid_argument("unknown test database " + name.toStdString());
}

QList<TestDatabase> testDatabases(const QString &sqliteFile)
{
    return {testDatabase(QStringLiteral("sqlite"), sqliteFile), testDatabase(QStringLiteral("postgres"), sqliteFile),
        testDatabase(QStringLiteral("mariadb"), sqliteFile)};
}

void addDatabaseRows()
{
    QTest::addColumn<QString>("database");
    for (const char *name : {"sqlite", "postgres", "mariadb"})
        QTest::addRow("%s", name) << QString::fromLatin1(name);
}

QString schemaFile(const TestDatabase &db)
{
    return QStringLiteral(KELDAN_SOURCE_DIR "/db/schema/%1.sql").arg(schemaBaseName(db));
}

QStringList splitSqlScript(const QString &script)
{
    QStringList kept;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().startsWith(QLatin1String("--")))
            kept << line;
    }
    QStringList statements;
    const QStringList parts = kept.join(QLatin1Char('\n')).split(QLatin1Char(';'));
    for (const QString &part : parts) {
        const QString statement = part.trimmed();
        if (!statement.isEmpty())
            statements << statement;
    }
    return statements;
}

void recreateTables(const TestDatabase &db)
{
    QFile file(schemaFile(db));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(
            QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()).toStdString());
    const QStringList statements = splitSqlScript(QString::fromUtf8(file.readAll()));

    createSqliteFile(db);
    OdbcConnection connection(QStringLiteral("recreateTables"));
    connection.open(db.connectionString());
    for (const QString &view : ViewNames)
        connection.execute(QStringLiteral("DROP VIEW IF EXISTS %1").arg(view));
    for (const QString &table : TableNames)
        connection.execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table));
    for (const QString &statement : statements)
        connection.execute(statement);
    connection.close();
}

QList<QStringList> queryRows(const TestDatabase &db, const QString &select)
{
    OdbcConnection connection(QStringLiteral("queryRows"));
    connection.open(db.connectionString());
    QList<QStringList> rows = connection.queryRows(select, QStringLiteral("<NULL>"));
    connection.close();
    return rows;
}

QString unreachableReason(const TestDatabase &db)
{
    try {
        createSqliteFile(db);
        OdbcConnection connection(QStringLiteral("probe"));
        connection.open(db.connectionString());
        connection.close();
        return {};
    } catch (const std::exception &error) {
        const auto *odbc = dynamic_cast<const OdbcError *>(&error);
        const QString why = odbc ? odbc->describe() : QString::fromLocal8Bit(error.what());
        QString reason = QStringLiteral("%1 (DSN %2) does not accept a connection: %3").arg(db.name, db.dsn, why);
        if (db.needsServer())
            reason += QStringLiteral(
                "\nThe servers start with the ctest fixture, or by hand with"
                " scripts/db-servers.sh start " KELDAN_DBSERVERS_ROOT " (ODBCINI=" KELDAN_DBSERVERS_ROOT "/odbc.ini).");
        return reason;
    }
}

void stopServer(const TestDatabase &db)
{
    if (db.needsServer())
        runServerScript(QStringLiteral("stop-") + db.name, db.serversRoot);
}

void startServer(const TestDatabase &db)
{
    if (db.needsServer())
        runServerScript(QStringLiteral("start-") + db.name, db.serversRoot);
}

qint64 mariadbServerProcess()
{
    QFile file(QStringLiteral(KELDAN_DBSERVERS_ROOT "/mariadb/mariadbd.pid"));
    bool ok = false;
    qint64 pid = 0;
    if (file.open(QIODevice::ReadOnly))
        pid = file.readLine().trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        throw std::runtime_error("no MariaDB server process in " KELDAN_DBSERVERS_ROOT "/mariadb/mariadbd.pid");
    return pid;
}

void runAsAdministrator(const TestDatabase &db, const QString &statement)
{
    if (db.needsServer())
        runServerScript(QStringLiteral("sql-") + db.name, db.serversRoot, statement);
}

void setLiteralSetting(const TestDatabase &db, SqlDialect rule)
{
    const bool escapes = rule == SqlDialect::BackslashEscapes;
    if (db.name == QLatin1String("postgres"))
        runServerScript(QStringLiteral("sql-postgres"), db.serversRoot,
            QStringLiteral("ALTER DATABASE keldan SET standard_conforming_strings = %1")
                .arg(escapes ? QStringLiteral("off") : QStringLiteral("on")));
    else if (db.name == QLatin1String("mariadb"))
        runServerScript(QStringLiteral("sql-mariadb"), db.serversRoot,
            escapes ? QStringLiteral("SET GLOBAL sql_mode = DEFAULT")
                    : QStringLiteral("SET GLOBAL sql_mode = CONCAT(@@GLOBAL.sql_mode, ',NO_BACKSLASH_ESCAPES')"));
}

void resetLiteralSetting(const TestDatabase &db)
{
    if (db.name == QLatin1String("postgres"))
        runServerScript(QStringLiteral("sql-postgres"), db.serversRoot,
            QStringLiteral("ALTER DATABASE keldan RESET standard_conforming_strings"));
    else if (db.name == QLatin1String("mariadb"))
        runServerScript(QStringLiteral("sql-mariadb"), db.serversRoot, QStringLiteral("SET GLOBAL sql_mode = DEFAULT"));
}

void startServers(const QString &root, quint16 firstPgPort, quint16 firstMariadbPort)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KELDAN_PG_PORT"), QString::number(firstPgPort));
    environment.insert(QStringLiteral("KELDAN_MARIADB_PORT"), QString::number(firstMariadbPort));
    runServerScript(QStringLiteral("start"), root, QString(), environment);
}

void stopServers(const QString &root)
{
    runServerScript(QStringLiteral("stop"), root);
}

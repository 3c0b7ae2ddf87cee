#pragma once

#include "db/StatementExecutor.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

// One of the three databases the tests write to. The server DSNs come from
// the odbc.ini that scripts/db-servers.sh writes (ODBCINI), the SQLite one
// from odbc/odbc.ini (ODBCSYSINI).
struct TestDatabase {
    QString name;  // "sqlite", "postgres", "mariadb"
    QString dsn;
    QString database;
    QString user;
    QString password;
    // How the server reads a backslash in a literal with its settings as the
    // fixture starts it.
    SqlDialect defaultDialect = SqlDialect::Standard;
    // The folder of the servers behind it (scripts/db-servers.sh ROOT);
    // empty for the shared ones that the ctest fixture starts.
    QString serversRoot;

    // The bridge's own keyword order: DATABASE, UID, PWD, DSN.
    QString connectionString() const;
    bool needsServer() const { return name != QLatin1String("sqlite"); }
};

// All three; SQLite's database is the given file.
QList<TestDatabase> testDatabases(const QString &sqliteFile);
TestDatabase testDatabase(const QString &name, const QString &sqliteFile);
// In a _data function: the column "database" and a row named after each of
// the three, for testDatabase().
void addDatabaseRows();

// Creates SQLite's database file, empty, when it is not there yet; the
// data source never does. Nothing to do for a server. Throws
// std::runtime_error.
void createSqliteFile(const TestDatabase &db);

// Drops the schema's views and the four tables and runs db/schema/<name>.sql.
// Throws OdbcError.
void recreateTables(const TestDatabase &db);

// Every value as text, NULL as "<NULL>". Throws OdbcError.
QList<QStringList> queryRows(const TestDatabase &db, const QString &select);

// Stop or start the one server behind a test database, for tests of a server
// that goes away mid-run. Throw std::runtime_error with the script's output
// when the script fails. Nothing to do for SQLite.
void stopServer(const TestDatabase &db);
void startServer(const TestDatabase &db);

// A pair of servers of a test's own under root, for a test that stops them
// for long while other tests use the shared ones: created afresh and started
// on the first free ports from firstPgPort and firstMariadbPort, with their
// data sources in root/odbc.ini; a TestDatabase names them by serversRoot.
// stopServers ends both, also after a failed start. Throw std::runtime_error
// with the script's output when the script fails.
void startServers(const QString &root, quint16 firstPgPort, quint16 firstMariadbPort);
void stopServers(const QString &root);

// The process id of the MariaDB server (one process for all sessions), from
// its pid file. Throws std::runtime_error when there is none.
qint64 mariadbServerProcess();

// Runs one statement as the server's own administrator on the database
// keldan. Throws std::runtime_error with the script's output when it fails.
void runAsAdministrator(const TestDatabase &db, const QString &statement);

// Switches how the server behind db reads a backslash in a text literal,
// for every connection opened from then on: PostgreSQL's
// standard_conforming_strings as the database keldan's own setting (ALTER
// DATABASE), MariaDB's NO_BACKSLASH_ESCAPES in the server's global sql_mode
// (SET GLOBAL). resetLiteralSetting puts back the fixture's setting. Throw
// std::runtime_error when the server refuses; nothing to do for SQLite.
void setLiteralSetting(const TestDatabase &db, SqlDialect rule);
void resetLiteralSetting(const TestDatabase &db);

// The setting switched for the lifetime of this object, so that a failing
// test leaves the server as the fixture started it.
class ScopedLiteralSetting
{
public:
    ScopedLiteralSetting(const TestDatabase &db, SqlDialect rule) : mDb(db) { setLiteralSetting(db, rule); }
    ~ScopedLiteralSetting()
    {
        try {
            resetLiteralSetting(mDb);
        } catch (const std::exception &e) {
            qWarning("cannot reset the literal setting of %s: %s", qPrintable(mDb.name), e.what());
        }
    }
    ScopedLiteralSetting(const ScopedLiteralSetting &) = delete;
    ScopedLiteralSetting &operator=(const ScopedLiteralSetting &) = delete;

private:
    TestDatabase mDb;
};

// Empty when the database accepts a connection, otherwise why not, with the
// way to start the servers. A test that needs a server fails on it, never
// skips: KELDAN_REQUIRE_DATABASE(db) does that.
QString unreachableReason(const TestDatabase &db);

#define KELDAN_REQUIRE_DATABASE(db)                                                                                    \
    do {                                                                                                               \
        const QString keldanReason = unreachableReason(db);                                                            \
        if (!keldanReason.isEmpty())                                                                                   \
            QFAIL(qPrintable(keldanReason));                                                                           \
    } while (false)

// The schema file of a database, e.g. <source>/db/schema/postgresql.sql.
QString schemaFile(const TestDatabase &db);
// Statements of an SQL script: split at ';', comment lines dropped.
QStringList splitSqlScript(const QString &script);

#pragma once

#include "db/StatementExecutor.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

// One of the three databases the tests write to. The server DSNs come from
// the odbc.ini that scripts/db-servers.sh writes (ODBCINI), the SQLite one
// from odbc/odbc.ini (ODBCSYSINI).
struct TestDatabase
{
    QString name; // "sqlite", "postgres", "mariadb"
    QString dsn;
    QString database;
    QString user;
    QString password;
    SqlDialect dialect = SqlDialect::Standard;

    // The bridge's own keyword order: DATABASE, UID, PWD, DSN.
    QString connectionString() const;
    bool needsServer() const { return name != QLatin1String("sqlite"); }
};

// All three; SQLite's database is the given file.
QList<TestDatabase> testDatabases(const QString &sqliteFile);
TestDatabase testDatabase(const QString &name, const QString &sqliteFile);

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

#include "db/FailureKind.h"

#include "db/LiteralRule.h"
#include "db/OdbcError.h"

namespace {

struct StateKind {
    const char *sqlState;  // a whole SQLSTATE, or a class of two characters
    FailureKind kind;
};

// Standard and PostgreSQL SQLSTATEs, as psqlODBC and MariaDB's driver pass
// them on. Checked in order: whole states before their class.
const StateKind StateKinds[] = {
    {"HYT00", FailureKind::Timeout},            // query timeout (SQL_ATTR_QUERY_TIMEOUT)
    {"HYT01", FailureKind::ConnectionLost},     // connection timeout
    {"57014", FailureKind::Timeout},            // query_canceled: statement_timeout
    {"55P03", FailureKind::Locked},             // lock_not_available: lock_timeout
    {"40001", FailureKind::Locked},             // serialization_failure; MariaDB's deadlock
    {"40P01", FailureKind::Locked},             // deadlock_detected
    {"25006", FailureKind::ReadOnly},           // read_only_sql_transaction
    {"57P01", FailureKind::ServerUnavailable},  // admin_shutdown
    {"57P02", FailureKind::ServerUnavailable},  // crash_shutdown
    {"57P03", FailureKind::ServerUnavailable},  // cannot_connect_now: starting up
    {"53", FailureKind::DiskFull},              // insufficient resources: 53100 disk_full, ...
    {"08", FailureKind::ConnectionLost},
    {"28", FailureKind::LogonRefused},
    {"IM", FailureKind::LogonRefused},
};

struct NativeKind {
    qint32 native;
    FailureKind kind;
};

// MariaDB's and MySQL's server and client error numbers.
const NativeKind MySqlKinds[] = {
    {2002, FailureKind::ConnectionLost},     // can't connect through socket
    {2003, FailureKind::ConnectionLost},     // can't connect to server
    {2006, FailureKind::ConnectionLost},     // server has gone away
    {2013, FailureKind::ConnectionLost},     // lost connection during query
    {1927, FailureKind::ConnectionLost},     // connection was killed
    {4031, FailureKind::ConnectionLost},     // disconnected for inactivity
    {1205, FailureKind::Locked},             // lock wait timeout exceeded
    {1213, FailureKind::Locked},             // deadlock found
    {1969, FailureKind::Timeout},            // max_statement_time exceeded
    {1021, FailureKind::DiskFull},           // disk full
    {1114, FailureKind::DiskFull},           // the table is full
    {1290, FailureKind::ReadOnly},           // running with --read-only
    {1792, FailureKind::ReadOnly},           // read-only transaction
    {1053, FailureKind::ServerUnavailable},  // server shutdown in progress
    {1044, FailureKind::LogonRefused},       // access denied to the database
    {1045, FailureKind::LogonRefused},       // access denied for the user
};

// SQLite's primary result codes, which sqliteodbc reports as the native
// number (HY000, "database is locked (5)").
const NativeKind SqliteKinds[] = {
    {5, FailureKind::Locked},     // SQLITE_BUSY
    {6, FailureKind::Locked},     // SQLITE_LOCKED
    {8, FailureKind::ReadOnly},   // SQLITE_READONLY
    {13, FailureKind::DiskFull},  // SQLITE_FULL
};

// psqlODBC reports a logon the server refused, like one that found no
// server, as 08001: only the server's text tells them apart.
const char *const PostgreSqlRefusals[] = {
    "authentication failed",
    "no pg_hba.conf entry",
    "does not exist",
    "permission denied",
};

FailureKind nativeKind(qint32 native, const NativeKind *begin, const NativeKind *end)
{
    for (const NativeKind *k = begin; k != end; ++k) {
        if (k->native == native)
            return k->kind;
    }
    return FailureKind::Never;
}

FailureKind recordKind(const OdbcDiagnostic &record, const QString &dbmsName)
{
    const bool sqlite = dbmsName.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
    // Before a connection opened the DBMS is unknown; MariaDB's numbers are
    // then still its own (every other driver's are below 1000).
    const bool mySql = dbmsName.isEmpty() || LiteralRule::family(dbmsName) == LiteralRule::Family::MySql;
    if (sqlite) {
        // Extended result codes keep the primary code in their low byte.
        const FailureKind kind = nativeKind(record.nativeError & 0xff, std::begin(SqliteKinds), std::end(SqliteKinds));
        if (kind != FailureKind::Never)
            return kind;
    }
    if (mySql) {
        const FailureKind kind = nativeKind(record.nativeError, std::begin(MySqlKinds), std::end(MySqlKinds));
        if (kind != FailureKind::Never)
            return kind;
        // A write that failed with ENOSPC: "Error writing file ... (Errcode: 28 ...)".
        if (record.message.contains(QLatin1String("Errcode: 28"))
            || record.message.contains(QLatin1String("errno: 28")))
            return FailureKind::DiskFull;
    }
    const QString state = record.sqlState.toUpper();
    for (const StateKind &k : StateKinds) {
        if (!state.startsWith(QLatin1String(k.sqlState)))
            continue;
        if (k.kind == FailureKind::ConnectionLost) {
            for (const char *refusal : PostgreSqlRefusals) {
                if (record.message.contains(QLatin1String(refusal), Qt::CaseInsensitive))
                    return FailureKind::LogonRefused;
            }
        }
        return k.kind;
    }
    return FailureKind::Never;
}

}  // namespace

FailureKind failureKind(const OdbcError &failure, const QString &dbmsName)
{
    FailureKind found = FailureKind::Never;
    for (const OdbcDiagnostic &record : failure.diagnostics()) {
        const FailureKind kind = recordKind(record, dbmsName);
        if (mayPass(kind))
            return kind;
        if (found == FailureKind::Never)
            found = kind;
    }
    return found;
}

bool mayPass(FailureKind kind)
{
    return kind != FailureKind::Never && kind != FailureKind::LogonRefused;
}

QString describeFailureKind(FailureKind kind)
{
    switch (kind) {
    case FailureKind::Never:
        break;
    case FailureKind::ConnectionLost:
        return QStringLiteral("connection lost");
    case FailureKind::Timeout:
        return QStringLiteral("the statement timed out");
    case FailureKind::Locked:
        return QStringLiteral("the database is locked");
    case FailureKind::DiskFull:
        return QStringLiteral("the database is full");
    case FailureKind::ReadOnly:
        return QStringLiteral("the database is read-only");
    case FailureKind::ServerUnavailable:
        return QStringLiteral("the server is starting, stopping or recovering");
    case FailureKind::LogonRefused:
        return QStringLiteral("the logon was refused");
    }
    return QStringLiteral("the statement failed");
}

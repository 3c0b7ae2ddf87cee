#pragma once

#include <QString>

class OdbcError;

// What a failed call says about trying the same thing again: "not now" (the
// link, a lock, the disk, the server's state may change) or "never" (the
// statement, the schema or the logon itself is wrong).
enum class FailureKind {
    Never,
    // Not connected, refused, or lost: SQLSTATE class 08, MariaDB 2002, 2003,
    // 2006, 2013.
    ConnectionLost,
    // The query timeout: HYT00, PostgreSQL 57014.
    Timeout,
    // Another session holds a lock: SQLite's busy and locked, PostgreSQL
    // 55P03, 40001, 40P01, MariaDB 1205, 1213.
    Locked,
    // SQLite's full, PostgreSQL class 53, MariaDB 1021, 1114, errno 28.
    DiskFull,
    // SQLite's read-only, PostgreSQL 25006, MariaDB 1290, 1792.
    ReadOnly,
    // Starting up, shutting down or in recovery: PostgreSQL 57P01, 57P02,
    // 57P03, MariaDB 1053.
    ServerUnavailable,
    // A logon the server will refuse again: class 28, MariaDB 1044, 1045, an
    // unknown data source or driver (class IM).
    LogonRefused,
};

// Classifies every diagnostic record of failure; the first that says "not now"
// wins. dbmsName is the driver's DBMS name ("SQLite", "PostgreSQL",
// "MariaDB"), empty before a connection opened: SQLite's native numbers are
// its result codes, which only mean that for SQLite.
FailureKind failureKind(const OdbcError &failure, const QString &dbmsName);

// The kinds that may pass by themselves.
bool mayPass(FailureKind kind);

// A few words for the log: "the database is locked".
QString describeFailureKind(FailureKind kind);

// The error numbers and texts the status line and message boxes show, and
// what each failure says about trying again.

#include "db/FailureKind.h"
#include "db/OdbcError.h"

#include <QTest>

class TestOdbcError : public QObject
{
    Q_OBJECT

private slots:
    void statusNumber_data();
    void statusNumber();
    void failureKind_data();
    void failureKind();
    void mayPass();
    void describeListsEveryRecord();
    void noDiagnosticAtAll();
};

void TestOdbcError::statusNumber_data()
{
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<qint32>("nativeError");
    QTest::addColumn<int>("expected");

    QTest::addRow("native error wins") << QStringLiteral("28000") << 1045 << 1045;
    QTest::addRow("negative native error is kept") << QStringLiteral("HY000") << -1 << -1;
    QTest::addRow("driver manager class") << QStringLiteral("IM002") << 0 << 6001;
    QTest::addRow("connection class") << QStringLiteral("08001") << 0 << 6008;
    QTest::addRow("connection not open") << QStringLiteral("08003") << 0 << 6008;
    QTest::addRow("authorisation class") << QStringLiteral("28P01") << 0 << 6028;
    QTest::addRow("syntax class") << QStringLiteral("42601") << 0 << 6042;
    QTest::addRow("data class") << QStringLiteral("22007") << 0 << 6022;
    QTest::addRow("constraint class") << QStringLiteral("23505") << 0 << 6023;
    QTest::addRow("general error class") << QStringLiteral("HY000") << 0 << 6100;
    QTest::addRow("lower-case class") << QStringLiteral("hy000") << 0 << 6100;
    QTest::addRow("other class") << QStringLiteral("01004") << 0 << 6999;
    QTest::addRow("empty state") << QString() << 0 << 6999;
}

void TestOdbcError::statusNumber()
{
    QFETCH(QString, sqlState);
    QFETCH(qint32, nativeError);
    QFETCH(int, expected);

    const OdbcError error(QStringLiteral("SQLDriverConnect"),
        {{sqlState, nativeError, QStringLiteral("first")}, {QStringLiteral("01000"), 7, "second"}});
    QCOMPARE(error.statusNumber(), expected);
    QCOMPARE(error.sqlState(), sqlState);
    QCOMPARE(error.nativeError(), nativeError);
}

void TestOdbcError::failureKind_data()
{
    QTest::addColumn<QString>("dbms");
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<qint32>("nativeError");
    QTest::addColumn<QString>("message");
    QTest::addColumn<FailureKind>("kind");

    // What the three drivers reported on the test servers (tst_odbcdatabases,
    // tst_linkhealer), then codes from the servers' documentation.
    const auto row = [](const char *name, const char *dbms, const char *state, qint32 native, const char *message,
                         FailureKind kind) {
        QTest::addRow("%s", name) << QString::fromLatin1(dbms) << QString::fromLatin1(state) << native
                                  << QString::fromUtf8(message) << kind;
    };
    using K = FailureKind;
    row("sqlite: locked", "SQLite", "HY000", 5, "[SQLite]database is locked (5)", K::Locked);
    row("sqlite: read-only", "SQLite", "HY000", 8, "[SQLite]attempt to write a readonly database (8)", K::ReadOnly);
    row("sqlite: full", "SQLite", "HY000", 13, "[SQLite]database or disk is full (13)", K::DiskFull);
    row("sqlite: no such table", "SQLite", "HY000", 1, "[SQLite]no such table: no_such_table (1)", K::Never);
    row("sqlite: missing file", "", "HY000", 14, "[SQLite]connect failed", K::Never);
    row("sqlite: table locked", "SQLite", "HY000", 6, "database table is locked (6)", K::Locked);
    row("sqlite: extended busy code", "SQLite", "HY000", 261, "database is locked (261)", K::Locked);
    row("postgres: lock timeout", "PostgreSQL", "55P03", 1, "ERROR: canceling statement due to lock timeout;",
        K::Locked);
    row("postgres: read-only", "PostgreSQL", "25006", 1, "ERROR: cannot execute INSERT in a read-only transaction;",
        K::ReadOnly);
    row("postgres: statement timeout", "PostgreSQL", "57014", 1, "ERROR: canceling statement due to statement timeout;",
        K::Timeout);
    row("postgres: terminated", "PostgreSQL", "57P01", 35,
        "FATAL: terminating connection due to administrator command;", K::ServerUnavailable);
    row("postgres: wrong password", "", "08001", 101,
        "connection to server at \"127.0.0.1\", port 54330 failed: FATAL:  password authentication failed for user "
        "\"keldan\"",
        K::LogonRefused);
    row("postgres: no server", "", "08001", 101,
        "connection to server at \"127.0.0.1\", port 1 failed: Connection refused", K::ConnectionLost);
    row("postgres: unknown database", "", "08001", 101, "FATAL:  database \"nosuchdb\" does not exist",
        K::LogonRefused);
    row("postgres: no such table", "PostgreSQL", "42P01", 1, "ERROR: relation \"no_such_table\" does not exist;",
        K::Never);
    row("postgres: psqlODBC's own 5 is no lock", "PostgreSQL", "07009", 5, "invalid column number", K::Never);
    row("postgres: starting up", "", "57P03", 0, "FATAL:  the database system is starting up", K::ServerUnavailable);
    row("postgres: shutting down", "PostgreSQL", "57P02", 0, "crash shutdown", K::ServerUnavailable);
    row("postgres: deadlock", "PostgreSQL", "40P01", 1, "deadlock detected", K::Locked);
    row("postgres: serialization", "PostgreSQL", "40001", 1, "could not serialize access", K::Locked);
    row("postgres: disk full", "PostgreSQL", "53100", 1, "could not extend file: No space left on device", K::DiskFull);
    row("postgres: too many connections", "", "53300", 0, "sorry, too many clients already", K::DiskFull);
    row("postgres: connection gone", "PostgreSQL", "08S01", 35, "server closed the connection unexpectedly",
        K::ConnectionLost);
    row("postgres: authorisation class", "", "28P01", 0, "password authentication failed", K::LogonRefused);
    row("postgres: bad value", "PostgreSQL", "22P02", 1, "invalid input syntax for type double precision", K::Never);
    row("postgres: duplicate key", "PostgreSQL", "23505", 1, "duplicate key value", K::Never);
    row("mariadb: lock wait", "MariaDB", "HY000", 1205,
        "[ma-3.1.15][10.11.19-MariaDB-0+deb12u1]Lock wait timeout exceeded; try restarting transaction", K::Locked);
    row("mariadb: read-only", "MariaDB", "HY000", 1290,
        "[ma-3.1.15][10.11.19-MariaDB-0+deb12u1]The MariaDB server is running with the --read-only option so it "
        "cannot execute this statement",
        K::ReadOnly);
    row("mariadb: killed", "MariaDB", "08S01", 2013,
        "[ma-3.1.15][10.11.19-MariaDB-0+deb12u1]Lost connection to server during query", K::ConnectionLost);
    row("mariadb: wrong password", "", "28000", 1045,
        "[ma-3.1.15]Access denied for user 'keldan'@'127.0.0.1' (using password: YES)", K::LogonRefused);
    row("mariadb: no server", "", "HY000", 2002, "[ma-3.1.15]Can't connect to server on '127.0.0.1' (115)",
        K::ConnectionLost);
    row("mariadb: no such table", "MariaDB", "42S02", 1146,
        "[ma-3.1.15][10.11.19-MariaDB-0+deb12u1]Table 'keldan.no_such_table' doesn't exist", K::Never);
    row("mariadb: gone away", "MariaDB", "HY000", 2006, "Server has gone away", K::ConnectionLost);
    row("mariadb: can't connect to host", "", "HY000", 2003, "Can't connect to MySQL server", K::ConnectionLost);
    row("mariadb: deadlock", "MariaDB", "40001", 1213, "Deadlock found when trying to get lock", K::Locked);
    row("mariadb: disk full", "MariaDB", "HY000", 1021, "Disk full (./keldan/stations.ibd)", K::DiskFull);
    row("mariadb: table full", "MariaDB", "HY000", 1114, "The table 'stations' is full", K::DiskFull);
    row("mariadb: errno 28", "MariaDB", "HY000", 3,
        "Error writing file './binlog.000001' (Errcode: 28 \"No space left on device\")", K::DiskFull);
    row("mariadb: read-only transaction", "MariaDB", "25006", 1792,
        "Cannot execute statement in a READ ONLY transaction", K::ReadOnly);
    row("mariadb: shutdown in progress", "MariaDB", "08S01", 1053, "Server shutdown in progress", K::ServerUnavailable);
    row("mariadb: statement time", "MariaDB", "70100", 1969, "max_statement_time exceeded", K::Timeout);
    row("mariadb: syntax", "MariaDB", "42000", 1064, "You have an error in your SQL syntax", K::Never);
    row("mariadb: data too long", "MariaDB", "22001", 1406, "Data too long for column", K::Never);
    row("any: query timeout", "", "HYT00", 0, "Timeout expired", K::Timeout);
    row("any: unknown data source", "", "IM002", 0, "Data source name not found", K::LogonRefused);
    row("any: not open", "", "08003", 0, "Connection not open", K::ConnectionLost);
    row("any: lower-case state", "", "hyt00", 0, "Timeout expired", K::Timeout);
}

void TestOdbcError::failureKind()
{
    QFETCH(QString, dbms);
    QFETCH(QString, sqlState);
    QFETCH(qint32, nativeError);
    QFETCH(QString, message);
    QFETCH(FailureKind, kind);
    const OdbcError error(QStringLiteral("SQLExecDirect"), {{sqlState, nativeError, message}});
    QCOMPARE(::failureKind(error, dbms), kind);
    // A record that may pass wins over one before it that says never.
    const OdbcError second(QStringLiteral("SQLExecDirect"),
        {{QStringLiteral("01000"), 0, QStringLiteral("warning")}, {sqlState, nativeError, message}});
    QCOMPARE(::failureKind(second, dbms), kind);
}

void TestOdbcError::mayPass()
{
    QVERIFY(!::mayPass(FailureKind::Never));
    QVERIFY(!::mayPass(FailureKind::LogonRefused));
    for (FailureKind kind : {FailureKind::ConnectionLost, FailureKind::Timeout, FailureKind::Locked,
             FailureKind::DiskFull, FailureKind::ReadOnly, FailureKind::ServerUnavailable})
        QVERIFY(::mayPass(kind));
}

void TestOdbcError::describeListsEveryRecord()
{
    const OdbcError error(QStringLiteral("SQLExecDirect"),
        {{QStringLiteral("42000"), 1064, QStringLiteral("You have an error in your SQL syntax")},
            {QStringLiteral("01000"), 0, QStringLiteral("General warning")}});
    QCOMPARE(error.describe(),
        QStringLiteral("42000 [1064] You have an error in your SQL syntax\n"
                       "01000 [0] General warning"));
    QCOMPARE(QString::fromStdString(error.what()),
        QStringLiteral("SQLExecDirect failed: 42000 [1064] You have an error in your SQL syntax\n"
                       "01000 [0] General warning"));
    QCOMPARE(error.diagnostics().size(), 2);
    QCOMPARE(error.operation(), QStringLiteral("SQLExecDirect"));
}

void TestOdbcError::noDiagnosticAtAll()
{
    const OdbcError error(QStringLiteral("SQLDisconnect"), {});
    QCOMPARE(error.statusNumber(), 6999);
    QCOMPARE(error.describe(), QString());
    QCOMPARE(QString::fromStdString(error.what()), QStringLiteral("SQLDisconnect failed"));
}

QTEST_GUILESS_MAIN(TestOdbcError)
#include "tst_odbcerror.moc"

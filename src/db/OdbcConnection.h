#pragma once

#include "db/StatementExecutor.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class OdbcRowBlock;
class StallWatchdog;

// One ODBC connection in autocommit, opened from a connection string such as
// "DATABASE=keldan;UID=keldan;PWD=keldan;DSN=keldan-postgres". Every failure
// throws OdbcError with the diagnostics of the handle that failed.
class OdbcConnection : public StatementExecutor
{
public:
    explicit OdbcConnection(QString name);
    ~OdbcConnection() override;

    OdbcConnection(const OdbcConnection &) = delete;
    OdbcConnection &operator=(const OdbcConnection &) = delete;

    QString name() const { return mName; }

    // Connects without ever prompting, learns from the server how it reads
    // a backslash in a text literal (see LiteralRule) and makes sure the
    // session speaks UTF-8; a server that cannot tell or will not fails the
    // open. Throws 08002 when already open.
    void open(const QString &connectionString);
    bool isOpen() const { return mDbc != nullptr; }
    // Disconnects; does nothing when not open.
    void close();
    // The DBMS name the driver reported when the connection opened.
    QString dbmsName() const { return mDbmsName; }

    // Every statement may wait this long for locks or the server, then fails
    // (SQLSTATE HYT00 or the driver's own) like any other statement.
    static constexpr int QueryTimeoutSeconds = 5;
    // A statement on a server that answers nothing at all this long (one
    // stopped, frozen or cut off) fails as connection lost.
    static constexpr int StallLimitSeconds = 10;

    // The driver's SQL_ATTR_CONNECTION_DEAD: true once it knows the server
    // is gone. False when not open or the driver cannot tell.
    bool isDead() const;

    void execute(const QString &sql) override;
    // The rule learned when the connection opened.
    SqlDialect dialect() const override;

    // Transactions, for bulk writers; the bridge itself stays in autocommit.
    // With autocommit off every statement joins the open transaction until
    // commit() or rollback() ends it. Each throws OdbcError on failure.
    void setAutocommit(bool on);
    void commit();
    void rollback();

    // Runs a query and returns every value as text, NULL as nullText. The
    // bridge itself never reads; this is for checking what it wrote.
    QList<QStringList> queryRows(const QString &select, const QString &nullText);

    // Runs a query and hands each row to visit as it is fetched, every value
    // as text, NULL as nullText: a large result is never held whole. An
    // exception from visit stops the fetch and passes through.
    void forEachRow(
        const QString &select, const QString &nullText, const std::function<void(const QStringList &row)> &visit);

    // Runs a query and hands its rows to visit a block at a time (see
    // OdbcRowBlock: values of at most OdbcRowBlock::MaxChars characters;
    // numberColumns a bit per column fetched as a double). For results of
    // many rows of short values; an exception from visit stops the fetch
    // and passes through.
    void forEachRowBlock(
        const QString &select, quint64 numberColumns, const std::function<void(const OdbcRowBlock &rows)> &visit);

private:
    void *allocateStatement(const QString &operation);
    void requireOpen(const QString &operation) const;

    int executeDirect(void *stmt, const QString &sql) const;
    // A select run and a row (or block) fetched under the stall watchdog;
    // false when there is nothing (more) to read, OdbcError on a failure.
    // Only the driver's own calls are watched, not the caller's work on a row.
    bool selectWatched(void *stmt, const QString &select);
    bool fetchWatched(void *stmt);
    SqlDialect learnDialect();
    // MariaDB and MySQL: set names utf8mb4; PostgreSQL: client_encoding
    // UTF8. Throws OdbcError (HY000) when the session does not say so.
    void requireUtf8();
    // Starts the stall watchdog on the connection's TCP socket; none for
    // SQLite or a local socket.
    void watchForStalls();
    void stopWatching();

    QString mName;
    QString mDbmsName;
    void *mDbc = nullptr;
    // Statement text and results travel as UTF-8 instead of UTF-16.
    bool mNarrowText = false;
    SqlDialect mDialect = SqlDialect::Standard;
    std::unique_ptr<StallWatchdog> mWatchdog;
};

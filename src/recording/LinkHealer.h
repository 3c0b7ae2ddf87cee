#pragma once

#include "db/StatementExecutor.h"
#include "recording/RepeatedFailureLog.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class DatabaseLink;
class OdbcError;

// Stands between the store operations and the database link, and heals the
// link when its server goes away. A statement that fails because the
// connection is gone (SQLSTATE class 08, a driver's "server has gone away",
// or the connection's dead attribute) on a link that was open is kept, and so is every later
// statement of the same beacon; each still fails to its caller, so the status
// line reads as it always has. While statements are kept the drain timer
// leaves the queue alone (mayDrain), beacons wait there, and the link is
// reopened after 5 s, 10 s, 20 s ... at most 60 s. Once it is up, the kept
// statements go first, in order, and draining goes on. Other failures pass
// through as they are.
class LinkHealer : public QObject, public StatementExecutor
{
    Q_OBJECT
public:
    static constexpr int FirstDelayMs = 5'000;
    static constexpr int LongestDelayMs = 60'000;

    // Closes the link and opens it again; true when it is open. Never throws.
    using Reconnect = std::function<bool()>;

    LinkHealer(DatabaseLink &link, Reconnect reconnect, QObject *parent = nullptr);

    void execute(const QString &statement) override;
    SqlDialect dialect() const override;

    bool mayDrain() const { return mKept.isEmpty(); }
    const QStringList &keptStatements() const { return mKept; }
    // The wait before the next attempt, in back-off milliseconds; 0 while
    // nothing is kept.
    int retryDelayMs() const { return mRetry.isActive() ? mNextDelayMs : 0; }
    // How many milliseconds stand for one second of back-off; 1000 in the
    // program, tests shrink it.
    void setMillisecondsPerSecond(int milliseconds) { mMsPerSecond = milliseconds; }

    // One attempt to reopen the link and store what is kept; the retry timer
    // calls it, and so may a test.
    void attemptReconnect();

    qint64 stored() const { return mStored; }
    RepeatedFailureLog &failureLog() { return mFailureLog; }

private:
    void keep(const QString &statement, const OdbcError &failure);
    void startRetry();
    void fail(const QString &statement, const QString &diagnostic, const QString &kind);
    bool connectionLost(const OdbcError &failure) const;

    DatabaseLink &mLink;
    Reconnect mReconnect;
    QStringList mKept;
    QTimer mRetry;
    int mNextDelayMs = FirstDelayMs;
    int mMsPerSecond = 1000;
    qint64 mStored = 0;
    qint64 mOutageStartMs = 0;
    RepeatedFailureLog mFailureLog;
};

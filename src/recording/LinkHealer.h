#pragma once

#include "db/FailureKind.h"
#include "db/StatementExecutor.h"
#include "host/BackOff.h"
#include "recording/RepeatedFailureLog.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class DatabaseLink;
class OdbcError;

// Stands between the store operations and the database link, and heals the
// link when a statement fails in a way that may pass (failureKind: the
// connection lost, a timeout, a lock, a full or read-only database, a server
// starting or stopping). Such a statement, on a link that was open, is kept,
// and so is every later statement of the same beacon; each still fails to
// its caller, so the status line reads as it always has. While statements
// are kept the drain timer leaves the queue alone (mayDrain), beacons wait
// there, and the link is reopened after 5 s, 10 s, 20 s ... at most 60 s
// (BackOff). Once it is up, the kept statements go first, in order, and
// draining goes on. A kept statement that loses the connection or times out
// the same way on three reopened links in a row is given up, with its
// table's message: it is what breaks the link. A lock, a full or read-only
// database are the database's state and keep it as long as they last.
// Failures that say "never" pass through as they are.
class LinkHealer : public QObject, public StatementExecutor
{
    Q_OBJECT
public:
    static constexpr int GiveUpAfterTries = 3;

    // Closes the link and opens it again; true when it is open. Never throws.
    using Reconnect = std::function<bool()>;
    // Shows a given-up statement's table message on the status line.
    using ShowStatus = std::function<void(const QString &caption)>;

    LinkHealer(DatabaseLink &link, Reconnect reconnect, QObject *parent = nullptr);

    void execute(const QString &statement) override;
    SqlDialect dialect() const override;

    void setShowStatus(ShowStatus showStatus) { mShowStatus = std::move(showStatus); }
    // Told of every statement whose row is in the database: at once, or once
    // a kept one went in on a reopened link.
    using Stored = std::function<void(const QString &statement)>;
    void setOnStored(Stored onStored) { mOnStored = std::move(onStored); }
    // The reopening schedule; a test shrinks its time scale.
    BackOff &backOff() { return mBackOff; }

    bool mayDrain() const { return mKept.isEmpty(); }
    QStringList keptStatements() const;
    // The wait before the next attempt; 0 while nothing is kept.
    int retryDelayMs() const { return mRetry.isActive() ? mRetry.interval() : 0; }

    // One attempt to reopen the link and store what is kept; the retry timer
    // calls it, and so may a test.
    void attemptReconnect();

    qint64 stored() const { return mStored; }
    RepeatedFailureLog &failureLog() { return mFailureLog; }

private:
    struct Kept {
        QString statement;
        // The connection went while it ran: its row may be stored already.
        bool mayBeStored = false;
    };

    void keep(const QString &statement, const OdbcError &failure, FailureKind kind);
    void fail(const QString &statement, const QString &diagnostic, const QString &kind);
    // Runs the first kept statement; false when it failed in a way that may
    // pass and stays first.
    bool storeFirstKept();
    void giveUpFirstKept(const OdbcError &failure);
    FailureKind kindOf(const OdbcError &failure) const;
    void scheduleRetry();
    void stored(const QString &statement);

    DatabaseLink &mLink;
    Reconnect mReconnect;
    ShowStatus mShowStatus;
    Stored mOnStored;
    QList<Kept> mKept;
    FailureKind mKeptBecause = FailureKind::Never;
    // The same failure of the first kept statement on reopened links in a row.
    QString mLastFailure;
    int mSameFailures = 0;
    QTimer mRetry;
    BackOff mBackOff;
    qint64 mStored = 0;
    qint64 mOutageStartMs = 0;
    RepeatedFailureLog mFailureLog;
};

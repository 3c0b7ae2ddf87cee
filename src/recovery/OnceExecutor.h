#pragma once

#include "db/FailureKind.h"
#include "db/OdbcConnection.h"

#include <QString>

// Runs a recovered beacon's statements unless the beacon is already stored:
// before its first statement (the stations row) it asks whether a row of the
// same callsign and time is there, and if so leaves the beacon out. A failed
// statement is remembered with its kind, for the recovery to decide whether
// to go on ("never": the beacon is given up, as live recording would) or stop
// (the link is lost again).
class OnceExecutor : public StatementExecutor
{
public:
    explicit OnceExecutor(OdbcConnection &connection) : mConnection(connection) { }

    void beginBeacon();
    void execute(const QString &statement) override;
    SqlDialect dialect() const override { return mConnection.dialect(); }

    bool alreadyStored() const { return mAlreadyStored; }
    bool wrote() const { return mWrote; }
    bool failed() const { return mFailed; }
    FailureKind failureKind() const { return mFailureKind; }
    QString failure() const { return mFailure; }

private:
    OdbcConnection &mConnection;
    bool mFirst = true;
    bool mAlreadyStored = false;
    bool mWrote = false;
    bool mFailed = false;
    FailureKind mFailureKind = FailureKind::Never;
    QString mFailure;
};

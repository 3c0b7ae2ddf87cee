#pragma once

#include "db/OdbcConnection.h"
#include "db/OdbcError.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Runs the beacon road's statements in transactions of many beacons, which
// is what makes an import fast: the database syncs once per transaction, not
// once per row. A statement the database refuses is left out and counted,
// and the rest of its transaction is kept (PostgreSQL aborts a transaction at
// its first failure, so the statements before it are run again in a new
// one). A lost connection is fatal: failed() says so, and nothing more runs.
class BatchExecutor : public StatementExecutor
{
public:
    BatchExecutor(OdbcConnection &connection, int beaconsPerTransaction);

    // Leaves autocommit; throws OdbcError when the driver cannot.
    void begin();

    void execute(const QString &statement) override;
    SqlDialect dialect() const override { return mDialect; }

    // Ends one beacon's statements; commits when the transaction is full.
    void endBeacon();
    // Commits what is open. Throws nothing: a failure makes failed() true.
    void commit();

    bool failed() const { return mFatal.has_value(); }
    QString fatalError() const { return mFatal.value_or(QString()); }

    qint64 storedBeacons() const { return mStoredCommitted; }
    qint64 refusedBeacons() const { return mRefusedCommitted; }
    qint64 transactions() const { return mTransactions; }
    // Why the database refused statements, and how often.
    const QMap<QString, qint64> &refusals() const { return mRefusals; }

    static bool isConnectionLost(const OdbcError &error);

private:
    void fail(const QString &why);
    void refuse(const OdbcError &error);
    bool replayBefore(qsizetype failedIndex);

    OdbcConnection &mConnection;
    SqlDialect mDialect;
    int mBeaconsPerTransaction;
    bool mBegun = false;

    QStringList mOpen;           // statements of the open transaction, in order
    qsizetype mBeaconStart = 0;  // the current beacon's first statement in mOpen
    bool mBeaconRefused = false;
    qint64 mBeaconsOpen = 0;
    qint64 mStoredOpen = 0;
    qint64 mRefusedOpen = 0;
    qint64 mStoredCommitted = 0;
    qint64 mRefusedCommitted = 0;
    qint64 mTransactions = 0;
    QMap<QString, qint64> mRefusals;
    std::optional<QString> mFatal;
};

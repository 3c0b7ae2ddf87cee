#pragma once

#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "recording/BeaconKey.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Writes the beacon road's statements in batches of many beacons, one
// transaction per batch, which is what makes an import fast: the database
// syncs once per batch, and the rows of one table travel together as one
// multi-row INSERT, so a server is asked a few dozen times per batch instead
// of twice per beacon. The rows and their texts are those of the single
// statements.
//
// Each beacon is stored once: before a batch is written, one query reads the
// stations rows of the batch's callsigns within its time span, and a beacon
// whose callsign, time and position are already there (or earlier in the
// batch) is left out and counted as already stored.
//
// A statement the database refuses is left out and counted, and the rest of
// its batch is kept: the batch is then written again one statement at a time,
// and at each refusal the statements before it are written again in a new
// transaction (PostgreSQL aborts a transaction at its first failure). A
// failure that may pass (a lost connection, a lock, a full disk, a timeout)
// is fatal: nothing of the open batch is kept, failed() says so, and nothing
// more runs; what was committed before it stays.
class BatchExecutor : public StatementExecutor
{
public:
    BatchExecutor(OdbcConnection &connection, int beaconsPerTransaction);

    // Leaves autocommit; throws OdbcError when the driver cannot.
    void begin();

    // Starts one beacon's statements; key finds it among the stored rows.
    void startBeacon(const BeaconKey &key);
    // Holds the statement for the batch; runs nothing.
    void execute(const QString &statement) override;
    SqlDialect dialect() const override { return mDialect; }

    // Ends one beacon's statements; writes the batch when it is full.
    void endBeacon();
    // Writes and commits what is held. Throws nothing: a failure makes
    // failed() true.
    void commit();

    // Where a beacon's stations row may have been stored without its detail
    // row (a live link lost between the two), a beacon found stored gets
    // each detail row that is missing, and counts as stored.
    void setCompletesStoredBeacons(bool complete) { mCompletesStoredBeacons = complete; }
    bool failed() const { return mFatal.has_value(); }
    QString fatalError() const { return mFatal.value_or(QString()); }

    qint64 storedBeacons() const { return mStored; }
    qint64 refusedBeacons() const { return mRefused; }
    qint64 alreadyStoredBeacons() const { return mAlreadyStored; }
    qint64 transactions() const { return mTransactions; }
    // Statements sent to the database, merged ones counted once.
    qint64 statementsSent() const { return mStatementsSent; }
    // Why the database refused statements, and how often.
    const QMap<QString, qint64> &refusals() const { return mRefusals; }

    // A failure that may pass by itself ("not now"): the batch is not refused for it.
    bool mayPassLater(const OdbcError &error) const;

    // Rows merged into one INSERT at most, and its length at most (the
    // server's packet limit is also kept: a quarter of it, in characters).
    static constexpr int RowsPerStatement = 1000;
    static constexpr qsizetype CharactersPerStatement = 1'000'000;

private:
    struct Beacon {
        BeaconKey key;
        QStringList statements;
    };

    void fail(const QString &why);
    void refuse(const OdbcError &error);
    void run(const QString &statement);
    void writeBatch();
    enum class Found : char { New, InTable, EarlierInBatch };
    // Per beacon of the batch: whether its row is in the table already.
    QList<Found> findStored(const QList<Beacon> &batch);
    // The detail statements of a stored beacon whose rows are not there.
    QStringList missingDetails(const Beacon &beacon);
    // After a failure in a batch: one that may pass ends the writing;
    // otherwise the open transaction is rolled back. False when the writing
    // cannot go on.
    bool rolledBackAfter(const OdbcError &error);
    // Ends the open transaction (when there is one) without keeping it;
    // false when even that failed, which ends the writing.
    bool rolledBack();
    // Commits the open transaction (when there is one); false when the
    // database refused, which ends the writing.
    bool committed();
    // True when written and committed; false when the database refused a
    // statement (the transaction rolled back) or the writing ended.
    bool writeMerged(const QList<Beacon> &beacons);
    void writeOneByOne(const QList<Beacon> &beacons);

    OdbcConnection &mConnection;
    SqlDialect mDialect;
    int mBeaconsPerTransaction;
    qsizetype mCharactersPerStatement = CharactersPerStatement;
    bool mBegun = false;
    bool mCompletesStoredBeacons = false;

    QList<Beacon> mBatch;
    Beacon mCurrent;
    bool mInBeacon = false;

    qint64 mStored = 0;
    qint64 mRefused = 0;
    qint64 mAlreadyStored = 0;
    qint64 mTransactions = 0;
    qint64 mStatementsSent = 0;
    QMap<QString, qint64> mRefusals;
    std::optional<QString> mFatal;
};

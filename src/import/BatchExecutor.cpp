#include "import/BatchExecutor.h"

#include <algorithm>

BatchExecutor::BatchExecutor(OdbcConnection &connection, int beaconsPerTransaction)
    : mConnection(connection), mDialect(connection.dialect()),
      mBeaconsPerTransaction(std::max(1, beaconsPerTransaction))
{ }

void BatchExecutor::begin()
{
    mConnection.setAutocommit(false);
    mBegun = true;
}

bool BatchExecutor::isConnectionLost(const OdbcError &error)
{
    // 08xxx: connection failures; MariaDB's client reports a server that went
    // away (2006) or a query lost mid-way (2013) as HY000.
    const qint32 native = error.nativeError();
    return error.sqlState().startsWith(QLatin1String("08")) || native == 2006 || native == 2013;
}

void BatchExecutor::fail(const QString &why)
{
    if (!mFatal)
        mFatal = why;
    try {
        mConnection.rollback();
    } catch (const OdbcError &) {
        // The connection is gone; its transaction went with it.
    }
    mOpen.clear();
    mBeaconStart = 0;
    mBeaconsOpen = mStoredOpen = mRefusedOpen = 0;
}

void BatchExecutor::refuse(const OdbcError &error)
{
    const OdbcDiagnostic first = error.diagnostics().value(0);
    ++mRefusals[QStringLiteral("%1 %2").arg(first.sqlState, first.message.simplified())];
    mBeaconRefused = true;
}

bool BatchExecutor::replayBefore(qsizetype failedIndex)
{
    try {
        mConnection.rollback();
        for (qsizetype i = 0; i < failedIndex; ++i)
            mConnection.execute(mOpen.at(i));
    } catch (const OdbcError &error) {
        fail(QStringLiteral("the database failed while writing a transaction again: ") + error.describe());
        return false;
    }
    return true;
}

void BatchExecutor::execute(const QString &statement)
{
    if (mFatal)
        throw OdbcError(QStringLiteral("SQLExecDirect"),
            {{QStringLiteral("08003"), 0, QStringLiteral("The import stopped: ") + *mFatal}});
    try {
        mConnection.execute(statement);
        mOpen.append(statement);
        return;
    } catch (const OdbcError &error) {
        if (isConnectionLost(error)) {
            fail(error.describe());
            throw;
        }
        // Left out. The transaction is made again of the statements before
        // this one and committed at once, so that a run of refusals does not
        // write the same statements again and again.
        refuse(error);
        if (mBegun) {
            if (!replayBefore(mOpen.size()))
                throw;
            commit();
        }
    }
}

void BatchExecutor::endBeacon()
{
    if (mFatal)
        return;
    if (mOpen.size() > mBeaconStart || mBeaconRefused) {
        ++mBeaconsOpen;
        ++(mBeaconRefused ? mRefusedOpen : mStoredOpen);
    }
    mBeaconStart = mOpen.size();
    mBeaconRefused = false;
    if (mBeaconsOpen >= mBeaconsPerTransaction)
        commit();
}

void BatchExecutor::commit()
{
    if (mFatal)
        return;
    if (mBegun) {
        try {
            mConnection.commit();
        } catch (const OdbcError &error) {
            fail(QStringLiteral("the database refused to commit: ") + error.describe());
            return;
        }
        ++mTransactions;
    }
    mStoredCommitted += mStoredOpen;
    mRefusedCommitted += mRefusedOpen;
    mOpen.clear();
    mBeaconStart = 0;
    mBeaconsOpen = mStoredOpen = mRefusedOpen = 0;
}

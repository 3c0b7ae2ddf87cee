#include "recovery/OnceExecutor.h"

#include "db/OdbcError.h"
#include "recording/StationStatements.h"

void OnceExecutor::beginBeacon()
{
    mFirst = true;
    mAlreadyStored = false;
    mWrote = false;
    mFailed = false;
    mFailureKind = FailureKind::Never;
    mFailure.clear();
}

void OnceExecutor::execute(const QString &statement)
{
    if (mAlreadyStored || mFailed)
        return;
    try {
        if (mFirst) {
            mFirst = false;
            const QString query = StationStatements::sameBeaconQuery(statement, mConnection.dialect());
            if (!query.isEmpty() && !mConnection.queryRows(query, QString()).isEmpty()) {
                mAlreadyStored = true;
                return;
            }
        }
        mConnection.execute(statement);
        mWrote = true;
    } catch (const OdbcError &error) {
        mFailed = true;
        mFailureKind = ::failureKind(error, mConnection.dbmsName());
        mFailure = error.describe();
        throw;  // the recorder shows it as it would live
    }
}

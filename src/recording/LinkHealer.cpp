#include "recording/LinkHealer.h"

#include "db/DatabaseLink.h"
#include "db/DbLog.h"
#include "db/OdbcError.h"
#include "recording/StationStatements.h"

#include <QDateTime>

namespace {

QString kindOf(const OdbcError &failure)
{
    return QStringLiteral("%1 [%2]").arg(failure.sqlState()).arg(failure.nativeError());
}

// The kinds a statement can bring about itself, by what it does: one that
// breaks the connection or runs too long fails so on every link. A lock, a
// full or read-only database, a server starting up are the database's state
// and keep the statement as long as they last.
bool mayBeTheStatementsOwn(FailureKind kind)
{
    return kind == FailureKind::ConnectionLost || kind == FailureKind::Timeout;
}

// Lost while it ran (not refused before it started): the server may have
// committed it.
bool lostWhileRunning(const OdbcError &failure, FailureKind kind)
{
    return kind == FailureKind::ConnectionLost && failure.sqlState() != QLatin1String("08003")
        && failure.sqlState() != QLatin1String("08001");
}

}  // namespace

LinkHealer::LinkHealer(DatabaseLink &link, Reconnect reconnect, QObject *parent)
    : QObject(parent), mLink(link), mReconnect(std::move(reconnect))
{
    mRetry.setSingleShot(true);
    connect(&mRetry, &QTimer::timeout, this, &LinkHealer::attemptReconnect);
}

SqlDialect LinkHealer::dialect() const
{
    return mLink.dialect();
}

QStringList LinkHealer::keptStatements() const
{
    QStringList statements;
    for (const Kept &kept : mKept)
        statements << kept.statement;
    return statements;
}

void LinkHealer::stored(const QString &statement)
{
    ++mStored;
    if (mOnStored)
        mOnStored(statement);
}

FailureKind LinkHealer::kindOf(const OdbcError &failure) const
{
    const FailureKind kind = failureKind(failure, mLink.dbmsName());
    if (!mayPass(kind) && mLink.connectionDead())
        return FailureKind::ConnectionLost;
    return kind;
}

void LinkHealer::execute(const QString &statement)
{
    if (!mKept.isEmpty()) {
        // The rest of the beacon whose statement failed: kept behind it.
        mKept.append({statement, false});
        throw OdbcError(QStringLiteral("SQLExecDirect"),
            {{QStringLiteral("08003"), 0, QStringLiteral("The link is being reopened; kept for later")}});
    }
    try {
        mLink.execute(statement);
        stored(statement);
    } catch (const OdbcError &e) {
        // A link that never opened (no logon yet, a refused one, Setup's
        // log-off) is left as it is.
        const FailureKind kind = kindOf(e);
        if (mLink.connected() && mayPass(kind))
            keep(statement, e, kind);
        else
            fail(statement, e.describe(), ::kindOf(e));
        throw;
    } catch (const std::exception &e) {
        fail(statement, QString::fromLocal8Bit(e.what()), QStringLiteral("other"));
        throw;
    }
}

void LinkHealer::keep(const QString &statement, const OdbcError &failure, FailureKind kind)
{
    mKept.append({statement, lostWhileRunning(failure, kind)});
    mKeptBecause = kind;
    mLastFailure.clear();
    mSameFailures = 0;
    mOutageStartMs = QDateTime::currentMSecsSinceEpoch();
    mBackOff.reset();
    qCWarning(lcDb).noquote() << QStringLiteral("%1, the beacon is kept and the queue waits; reopening in %2 s: %3")
                                     .arg(describeFailureKind(kind))
                                     .arg(mBackOff.nextDelaySeconds())
                                     .arg(failure.describe());
    scheduleRetry();
}

void LinkHealer::scheduleRetry()
{
    mRetry.start(mBackOff.toTimerMs(mBackOff.takeDelaySeconds()));
}

void LinkHealer::fail(const QString &statement, const QString &diagnostic, const QString &kind)
{
    mFailureLog.report(kind, QStringLiteral("statement failed: %1\n%2").arg(diagnostic, statement));
}

bool LinkHealer::storeFirstKept()
{
    Kept &first = mKept.first();
    try {
        const QString probe =
            first.mayBeStored ? StationStatements::sameBeaconQuery(first.statement, mLink.dialect()) : QString();
        if (!probe.isEmpty() && mLink.anyRow(probe)) {
            qCInfo(lcDb).noquote() << QStringLiteral(
                "the row went in before the connection was lost; not written again: %1")
                                          .arg(first.statement);
            if (mOnStored)
                mOnStored(first.statement);
        } else {
            mLink.execute(first.statement);
            stored(first.statement);
        }
    } catch (const OdbcError &e) {
        const FailureKind kind = kindOf(e);
        if (mayPass(kind)) {
            mKeptBecause = kind;
            first.mayBeStored = first.mayBeStored || lostWhileRunning(e, kind);
            const QString failure = ::kindOf(e);
            mSameFailures = (failure == mLastFailure) ? mSameFailures + 1 : 1;
            mLastFailure = failure;
            if (!mayBeTheStatementsOwn(kind) || mSameFailures < GiveUpAfterTries)
                return false;
        }
        giveUpFirstKept(e);
        return true;
    } catch (const std::exception &e) {
        fail(first.statement, QString::fromLocal8Bit(e.what()), QStringLiteral("other"));
    }
    mKept.removeFirst();
    mLastFailure.clear();
    mSameFailures = 0;
    return true;
}

void LinkHealer::giveUpFirstKept(const OdbcError &failure)
{
    // A detail row is never written without its stations row: the rest of
    // the beacon goes with it.
    const bool station = StationStatements::insertsStation(mKept.first().statement);
    do {
        const QString statement = mKept.takeFirst().statement;
        fail(statement, failure.describe(), ::kindOf(failure));
        qCWarning(lcDb).noquote() << QStringLiteral("given up: %1").arg(statement);
        const QString message = StationStatements::failureMessageOf(statement);
        if (mShowStatus && !message.isEmpty())
            mShowStatus(message);
    } while (station && !mKept.isEmpty() && !StationStatements::insertsStation(mKept.first().statement));
    mLastFailure.clear();
    mSameFailures = 0;
}

void LinkHealer::attemptReconnect()
{
    mRetry.stop();
    if (mKept.isEmpty())
        return;
    if (mReconnect()) {
        while (!mKept.isEmpty()) {
            if (!storeFirstKept())
                break;
        }
        if (mKept.isEmpty()) {
            qCInfo(lcDb).noquote() << QStringLiteral("link healed after %1 s; draining goes on")
                                          .arg((QDateTime::currentMSecsSinceEpoch() - mOutageStartMs) / 1000);
            mKeptBecause = FailureKind::Never;
            mBackOff.reset();
            return;
        }
    }
    qCWarning(lcDb).noquote() << QStringLiteral("link still down (%1), %2 statements kept; next attempt in %3 s")
                                     .arg(describeFailureKind(mKeptBecause))
                                     .arg(mKept.size())
                                     .arg(mBackOff.nextDelaySeconds());
    scheduleRetry();
}

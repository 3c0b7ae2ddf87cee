#include "recording/LinkHealer.h"

#include "db/DatabaseLink.h"
#include "db/DbLog.h"
#include "db/OdbcError.h"

#include <QDateTime>

namespace {

QString kindOf(const OdbcError &failure)
{
    return QStringLiteral("%1 [%2]").arg(failure.sqlState()).arg(failure.nativeError());
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

void LinkHealer::execute(const QString &statement)
{
    if (!mKept.isEmpty()) {
        // The rest of the beacon whose statement failed: kept behind it.
        mKept.append(statement);
        throw OdbcError(QStringLiteral("SQLExecDirect"),
            {{QStringLiteral("08003"), 0, QStringLiteral("The link is being reopened; kept for later")}});
    }
    try {
        mLink.execute(statement);
        ++mStored;
    } catch (const OdbcError &e) {
        // A link that never opened (no logon yet, a refused one, Setup's
        // log-off) is left as it is.
        if (mLink.connected() && connectionLost(e))
            keep(statement, e);
        else
            fail(statement, e.describe(), kindOf(e));
        throw;
    } catch (const std::exception &e) {
        fail(statement, QString::fromLocal8Bit(e.what()), QStringLiteral("other"));
        throw;
    }
}

bool LinkHealer::connectionLost(const OdbcError &failure) const
{
    return failure.meansConnectionLost() || mLink.connectionDead();
}

void LinkHealer::keep(const QString &statement, const OdbcError &failure)
{
    mKept.append(statement);
    mOutageStartMs = QDateTime::currentMSecsSinceEpoch();
    mNextDelayMs = FirstDelayMs;
    qCWarning(lcDb).noquote() << QStringLiteral("connection lost, the beacon is kept and the queue waits; reopening "
                                                "in %1 s: %2")
                                     .arg(mNextDelayMs / 1000)
                                     .arg(failure.describe());
    startRetry();
}

void LinkHealer::startRetry()
{
    mRetry.start(int(qint64(mNextDelayMs) * mMsPerSecond / 1000));
}

void LinkHealer::fail(const QString &statement, const QString &diagnostic, const QString &kind)
{
    mFailureLog.report(kind, QStringLiteral("statement failed: %1\n%2").arg(diagnostic, statement));
}

void LinkHealer::attemptReconnect()
{
    mRetry.stop();
    if (mKept.isEmpty())
        return;
    if (mReconnect()) {
        while (!mKept.isEmpty()) {
            const QString statement = mKept.first();
            try {
                mLink.execute(statement);
                ++mStored;
            } catch (const OdbcError &e) {
                if (connectionLost(e))
                    break;
                fail(statement, e.describe(), kindOf(e));
            } catch (const std::exception &e) {
                fail(statement, QString::fromLocal8Bit(e.what()), QStringLiteral("other"));
            }
            mKept.removeFirst();
        }
        if (mKept.isEmpty()) {
            qCInfo(lcDb).noquote() << QStringLiteral("link healed after %1 s; draining goes on")
                                          .arg((QDateTime::currentMSecsSinceEpoch() - mOutageStartMs) / 1000);
            mNextDelayMs = FirstDelayMs;
            return;
        }
    }
    mNextDelayMs = qMin(mNextDelayMs * 2, LongestDelayMs);
    qCWarning(lcDb).noquote() << QStringLiteral("link still down, %1 statements kept; next attempt in %2 s")
                                     .arg(mKept.size())
                                     .arg(mNextDelayMs / 1000);
    startRetry();
}

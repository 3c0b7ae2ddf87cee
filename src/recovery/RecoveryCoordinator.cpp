#include "recovery/RecoveryCoordinator.h"

#include "host/LogCategories.h"
#include "recovery/RecoveryMark.h"
#include "recovery/RecoveryWorker.h"

RecoveryCoordinator::RecoveryCoordinator(Setup setup, QObject *parent) : QObject(parent), mSetup(std::move(setup))
{
    qRegisterMetaType<JournalRecovery::Result>();
    mMark = RecoveryMark::read(mSetup.markPath);
    const QDateTime started = now();
    if (!mMark.isValid()) {
        // The first start with a journal: nothing before it can be missed.
        setMark(started);
    } else {
        // The last stop may have left beacons behind: read the journal from the mark.
        mMissedUpTo = started;
    }
    mWorker = new RecoveryWorker(mStop);
    mWorker->moveToThread(&mThread);
    connect(&mThread, &QThread::finished, mWorker, &QObject::deleteLater);
    connect(mWorker, &RecoveryWorker::finished, this, &RecoveryCoordinator::finish, Qt::QueuedConnection);
    mThread.setObjectName(QStringLiteral("recovery"));
    mThread.start();
}

RecoveryCoordinator::~RecoveryCoordinator()
{
    mStop = true;
    mThread.quit();
    mThread.wait();
}

QDateTime RecoveryCoordinator::now() const
{
    return (mSetup.clock ? mSetup.clock() : QDateTime::currentDateTimeUtc()).toUTC();
}

void RecoveryCoordinator::linkUp(const QString &driverConnectString)
{
    mConnectString = driverConnectString;
    mLinkUp = true;
}

void RecoveryCoordinator::beaconMissed()
{
    mMissedUpTo = now();
}

void RecoveryCoordinator::queueDrained()
{
    if (mRunning || !mLinkUp)
        return;
    const QDateTime at = now();
    if (mMissedUpTo.isValid()) {
        if (!mNotBefore.isValid() || at >= mNotBefore)
            start();
        return;
    }
    // A beacon still on its way from the host to the queue is heard just
    // before now: the mark stays behind by the journal's lag.
    if (!mMarkWrittenAt.isValid() || mMarkWrittenAt.msecsTo(at) >= MarkEveryMs) {
        const QDateTime mark = at.addMSecs(-JournalLagMs);
        if (mark > mMark)
            setMark(mark);
        else
            mMarkWrittenAt = at;
    }
}

void RecoveryCoordinator::start()
{
    const QDateTime upTo = now().addMSecs(-JournalLagMs);
    if (upTo <= mMark)
        return;  // the journal may not hold those lines yet
    RecoveryWorker::Job job;
    job.connectString = mConnectString;
    job.journalFolder = mSetup.journalFolder;
    job.afterUtc = mMark;
    job.upToUtc = upTo;
    job.station = mSetup.station;
    job.checks = mSetup.checks ? mSetup.checks() : QList<int>();
    // A beacon missed after upTo waits for the next recovery.
    if (mMissedUpTo <= upTo)
        mMissedUpTo = QDateTime();
    mRunning = true;
    qCInfo(lcBridge).noquote() << QStringLiteral("Recovery: reading the journal from %1 to %2")
                                      .arg(job.afterUtc.toString(Qt::ISODateWithMs), upTo.toString(Qt::ISODateWithMs));
    QMetaObject::invokeMethod(
        mWorker, [worker = mWorker, job] { worker->run(job); }, Qt::QueuedConnection);
}

void RecoveryCoordinator::finish(const JournalRecovery::Result &result)
{
    mRunning = false;
    mRecovered += result.recovered;
    if (result.reachedUtc.isValid() && result.reachedUtc > mMark)
        setMark(result.reachedUtc);
    const QString counts = QStringLiteral("%1 beacons recovered from the journal, %2 were already stored, %3 refused")
                               .arg(result.recovered)
                               .arg(result.alreadyStored)
                               .arg(result.refused);
    if (result.complete) {
        qCInfo(lcBridge).noquote() << QStringLiteral("Recovery: ") + counts;
    } else {
        qCWarning(lcBridge).noquote()
            << QStringLiteral("Recovery: %1; stopped (%2), tried again later").arg(counts, result.problem);
        if (!mMissedUpTo.isValid())
            mMissedUpTo = now();
        mNotBefore = now().addMSecs(RetryMs);
    }
    emit recoveryFinished(result);
}

void RecoveryCoordinator::setMark(const QDateTime &mark)
{
    mMark = mark;
    mMarkWrittenAt = now();
    if (!RecoveryMark::write(mSetup.markPath, mark))
        qCWarning(lcBridge).noquote() << QStringLiteral("Recovery: cannot write %1").arg(mSetup.markPath);
}

#include "app/ServiceLog.h"

#include "host/LogCategories.h"

ServiceLog::ServiceLog(CountsSource counts, std::function<void()> minutePassed, QObject *parent)
    : QObject(parent), mCounts(std::move(counts)), mMinutePassed(std::move(minutePassed))
{
    mMinute.setInterval(60'000);
    connect(&mMinute, &QTimer::timeout, this, &ServiceLog::minutePassed);
    mMinute.start();
}

void ServiceLog::minutePassed()
{
    const Counts counts = mCounts();
    // The minute's line counts the refusal logged at once too: the lines add
    // up to the summary's count.
    if (counts.refused > mRefusedBefore) {
        qCWarning(lcQueue).noquote() << QStringLiteral("%1 beacons refused in the last minute: the queue was full")
                                            .arg(counts.refused - mRefusedBefore);
    } else {
        // A quiet minute: the next refusal is logged at once again.
        mRefusing = false;
    }
    mRefusedBefore = counts.refused;
    if (mMinutePassed)
        mMinutePassed();
    if (++mMinutes % 10 == 0)
        qCInfo(lcBridge).noquote() << summaryLine(counts);
}

void ServiceLog::beaconRefused()
{
    if (mRefusing)
        return;
    mRefusing = true;
    qCWarning(lcQueue).noquote() << QStringLiteral("Buffer full, packet ignored: the queue holds %1 beacons; "
                                                   "further refusals are counted once a minute")
                                        .arg(mCounts().waiting);
}

void ServiceLog::writeSummary()
{
    qCInfo(lcBridge).noquote() << summaryLine(mCounts());
}

QString ServiceLog::summaryLine(const Counts &c)
{
    return QStringLiteral(
        "since start: received %1, beacons %2, stored %3, failed %4, refused %5, recovered %6; %7 waiting")
        .arg(c.received)
        .arg(c.beacons)
        .arg(c.stored)
        .arg(c.failed)
        .arg(c.refused)
        .arg(c.recovered)
        .arg(c.waiting);
}

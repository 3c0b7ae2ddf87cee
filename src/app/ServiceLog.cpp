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
    if (counts.refused > mRefusedBefore) {
        qCWarning(lcQueue).noquote() << QStringLiteral("%1 beacons refused in the last minute: the queue was full")
                                            .arg(counts.refused - mRefusedBefore);
    }
    mRefusedBefore = counts.refused;
    if (mMinutePassed)
        mMinutePassed();
    if (++mMinutes % 10 == 0)
        qCInfo(lcBridge).noquote() << summaryLine(counts);
}

void ServiceLog::writeSummary()
{
    qCInfo(lcBridge).noquote() << summaryLine(mCounts());
}

QString ServiceLog::summaryLine(const Counts &c)
{
    QString line = QStringLiteral("since start: received %1, beacons %2, stored %3, failed %4, refused %5; %6 waiting")
                       .arg(c.received)
                       .arg(c.beacons)
                       .arg(c.stored)
                       .arg(c.failed)
                       .arg(c.refused)
                       .arg(c.waiting);
    if (c.recovered > 0)
        line += QStringLiteral("; %1 recovered from the journal").arg(c.recovered);
    return line;
}

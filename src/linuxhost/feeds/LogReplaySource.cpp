#include "linuxhost/feeds/LogReplaySource.h"

#include "host/LogCategories.h"

#include <algorithm>
#include <cmath>

LogReplaySource::LogReplaySource(QString path, double packetsPerSecond, QObject *parent)
    : PacketSource(parent), mPath(std::move(path)),
      mRatePerSecond(packetsPerSecond > 0 ? packetsPerSecond : DefaultRatePerSecond), mFile(mPath)
{
    mTimer.setTimerType(Qt::PreciseTimer);
    // One tick per packet, but no faster than 1 ms: above 1000 per second a
    // tick hands over several.
    mTimer.setInterval(std::clamp(int(1000.0 / mRatePerSecond), 1, 1000));
    connect(&mTimer, &QTimer::timeout, this, &LogReplaySource::onTick);
}

QString LogReplaySource::describe() const
{
    return QStringLiteral("LOG ") + mPath;
}

void LogReplaySource::start()
{
    if (mRunning || mAtEnd)
        return;
    if (!mFile.isOpen() && !mFile.open(QIODevice::ReadOnly)) {
        qCWarning(lcFeed).noquote() << describe() + QStringLiteral(" cannot be read: ") + mFile.errorString();
        mAtEnd = true;
        emit finished();
        return;
    }
    mRunning = true;
    mReplayedAtStart = mReplayed;
    mClock.start();
    mTimer.start();
    qCInfo(lcFeed).noquote() << describe() + QStringLiteral(" replaying at %1 packets per second").arg(mRatePerSecond);
}

void LogReplaySource::stop()
{
    mRunning = false;
    mTimer.stop();
}

void LogReplaySource::onTick()
{
    replayUntil(mClock.elapsed());
}

void LogReplaySource::replayUntil(qint64 elapsedMs)
{
    if (mAtEnd || !mFile.isOpen())
        return;
    const auto due = mReplayedAtStart + qint64(std::floor(double(elapsedMs) * mRatePerSecond / 1000.0)) + 1;
    while (mReplayed < due) {
        if (mFile.atEnd()) {
            finish();
            return;
        }
        QByteArray line = mFile.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        ++mReplayed;
        emit packetReceived(line, 0, false);
        if (mAtEnd)
            return;
    }
    // Say so as soon as the last packet is out, not one tick later.
    if (mFile.atEnd())
        finish();
}

void LogReplaySource::finish()
{
    mTimer.stop();
    mRunning = false;
    mAtEnd = true;
    mFile.close();
    qCInfo(lcFeed).noquote() << describe() + QStringLiteral(" ended after %1 packets").arg(mReplayed);
    emit finished();
}

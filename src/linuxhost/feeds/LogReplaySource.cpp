#include "linuxhost/feeds/LogReplaySource.h"

#include "host/LogCategories.h"
#include "linuxhost/feeds/AprsIsSource.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Blank-only lines are no packets, nor are comments.
bool isPacket(const QByteArray &line)
{
    return !line.startsWith('#') && !line.trimmed().isEmpty();
}

}  // namespace

// A log holds what APRS-IS or a TNC gave, so the APRS-IS limit holds for both.
LogReplaySource::LogReplaySource(QString path, double packetsPerSecond, QObject *parent)
    : PacketSource(parent), mPath(std::move(path)),
      mRatePerSecond(packetsPerSecond > 0 ? packetsPerSecond : DefaultRatePerSecond),
      mSplitter(AprsIsSource::MaxLineBytes)
{
    mTimer.setTimerType(Qt::PreciseTimer);
    // One tick per packet, but no faster than 1 ms: above 1000 per second a
    // tick hands over several.
    mTimer.setInterval(std::clamp(int(1000.0 / mRatePerSecond), 1, 1000));
    connect(&mTimer, &QTimer::timeout, this, &LogReplaySource::onTick);
}

LogReplaySource::~LogReplaySource()
{
    closeFile();
}

QString LogReplaySource::describe() const
{
    return QStringLiteral("LOG ") + mPath;
}

bool LogReplaySource::open()
{
    // O_NONBLOCK: opening a named pipe would otherwise wait for its writer.
    const QByteArray path = QFile::encodeName(mPath);
    mFd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (mFd < 0) {
        qCWarning(lcFeed).noquote() << describe() + QStringLiteral(" cannot be read: ") + systemError(errno);
        return false;
    }
    struct stat info = {};
    if (fstat(mFd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        qCWarning(lcFeed).noquote() << describe() + QStringLiteral(" cannot be read: ") + systemError(error);
        closeFile();
        return false;
    }
    mStream = !S_ISREG(info.st_mode);
    if (mStream) {
        mNotifier = std::make_unique<QSocketNotifier>(mFd, QSocketNotifier::Read);
        connect(mNotifier.get(), &QSocketNotifier::activated, this, &LogReplaySource::onStreamReadable);
    }
    return true;
}

void LogReplaySource::start()
{
    if (mRunning || mAtEnd)
        return;
    if (mFd < 0 && !open()) {
        mAtEnd = true;
        emit finished();
        return;
    }
    mRunning = true;
    if (mStream) {
        mNotifier->setEnabled(true);
        qCInfo(lcFeed).noquote() << describe() + QStringLiteral(" reading as a stream");
        return;
    }
    mReplayedAtStart = mReplayed;
    mClock.start();
    mTimer.start();
    qCInfo(lcFeed).noquote() << describe() + QStringLiteral(" replaying at %1 packets per second").arg(mRatePerSecond);
}

void LogReplaySource::stop()
{
    mRunning = false;
    mTimer.stop();
    if (mNotifier)
        mNotifier->setEnabled(false);
}

void LogReplaySource::onTick()
{
    replayUntil(mClock.elapsed());
}

bool LogReplaySource::readChunk()
{
    if (mEndOfFile)
        return false;
    QByteArray chunk(ReadChunkBytes, Qt::Uninitialized);
    ssize_t got = 0;
    do {
        got = ::read(mFd, chunk.data(), size_t(chunk.size()));
    } while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return true;
    if (got < 0)
        qCWarning(lcFeed).noquote() << describe() + QStringLiteral(" cannot be read: ") + systemError(errno);
    if (got <= 0) {
        mEndOfFile = true;
        mSplitter.finish(mPending);
        return false;
    }
    mSplitter.feed(QByteArrayView(chunk.constData(), got), mPending);
    return true;
}

bool LogReplaySource::takePending(QByteArray &line)
{
    while (mPendingAt < mPending.size()) {
        line = std::move(mPending[mPendingAt++]);
        if (isPacket(line))
            return true;
    }
    mPending.clear();
    mPendingAt = 0;
    return false;
}

bool LogReplaySource::fillPending()
{
    while (true) {
        for (; mPendingAt < mPending.size(); ++mPendingAt) {
            if (isPacket(mPending.at(mPendingAt)))
                return true;
        }
        mPending.clear();
        mPendingAt = 0;
        if (!readChunk() && mPending.isEmpty())
            return false;
    }
}

void LogReplaySource::replayUntil(qint64 elapsedMs)
{
    if (mAtEnd || mFd < 0 || mStream)
        return;
    const auto due = mReplayedAtStart + qint64(std::floor(double(elapsedMs) * mRatePerSecond / 1000.0)) + 1;
    QByteArray line;
    while (mReplayed < due) {
        if (!fillPending() || !takePending(line)) {
            finish();
            return;
        }
        ++mReplayed;
        emit packetReceived(line, 0);
        if (mAtEnd)
            return;
    }
    // Say so as soon as the last packet is out, not one tick later.
    if (!fillPending())
        finish();
}

void LogReplaySource::onStreamReadable()
{
    const bool more = readChunk();
    QByteArray line;
    while (takePending(line)) {
        ++mReplayed;
        emit packetReceived(line, 0);
        if (mAtEnd || !mRunning)
            return;
    }
    if (!more)
        finish();
}

void LogReplaySource::finish()
{
    mTimer.stop();
    mRunning = false;
    mAtEnd = true;
    closeFile();
    qCInfo(lcFeed).noquote() << describe() + QStringLiteral(" ended after %1 packets").arg(mReplayed);
    emit finished();
}

void LogReplaySource::closeFile()
{
    mNotifier.reset();
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}

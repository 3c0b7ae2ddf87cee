#pragma once

#include "linuxhost/feeds/LineSplitter.h"
#include "linuxhost/feeds/PacketSource.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

// Replays a recorded log of TNC2 lines (one packet a line, ended by CR, LF or
// CR LF; blank lines and lines starting with "#" are skipped) at a set number
// of packets per second, then stops. Reaching the end is no closing event: the
// program goes on.
//
// A path that is no regular file (a named pipe another program writes into) is
// a live stream: it is opened without waiting for a writer, read once as the
// lines come, at the writer's pace, and ends when the last writer closes it.
class LogReplaySource : public PacketSource
{
    Q_OBJECT
public:
    static constexpr double DefaultRatePerSecond = 20;
    // Each read takes at most this much, so a long log or a fast writer never
    // holds the event loop for long.
    static constexpr qsizetype ReadChunkBytes = 64 * 1024;

    LogReplaySource(QString path, double packetsPerSecond, QObject *parent = nullptr);
    ~LogReplaySource() override;

    void start() override;
    void stop() override;
    QString describe() const override;
    qint64 overlongDropped() const override { return mSplitter.overlongLines(); }

    // Hands over every packet due by elapsedMs after the (last) start: packet k
    // (from 0) is due at k * 1000 / rate ms. The timer calls it with the real time;
    // tests call it directly. A stream ignores it.
    void replayUntil(qint64 elapsedMs);

    qint64 packetsReplayed() const { return mReplayed; }
    bool isRunning() const { return mRunning; }
    bool atEnd() const { return mAtEnd; }
    bool isStream() const { return mStream; }

private:
    bool open();
    // Reads until a packet is waiting or the file has ended; false at its end.
    bool fillPending();
    // One read of at most ReadChunkBytes: false at the end or on an error.
    bool readChunk();
    bool takePending(QByteArray &line);
    void onTick();
    void onStreamReadable();
    void finish();
    void closeFile();

    QString mPath;
    double mRatePerSecond;
    int mFd = -1;
    bool mStream = false;
    bool mEndOfFile = false;
    std::unique_ptr<QSocketNotifier> mNotifier;
    LineSplitter mSplitter;
    QList<QByteArray> mPending;
    qsizetype mPendingAt = 0;
    QTimer mTimer;
    QElapsedTimer mClock;
    qint64 mReplayed = 0;
    qint64 mReplayedAtStart = 0;  // a stop and start resumes where it was
    bool mRunning = false;
    bool mAtEnd = false;
};

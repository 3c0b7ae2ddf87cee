#pragma once

#include "linuxhost/feeds/PacketSource.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

// Replays a recorded log of TNC2 lines (one packet a line; blank lines and
// lines starting with "#" are skipped) at a set number of packets per second,
// then stops. Reaching the end is no closing event: the program goes on.
class LogReplaySource : public PacketSource
{
    Q_OBJECT
public:
    static constexpr double DefaultRatePerSecond = 20;

    LogReplaySource(QString path, double packetsPerSecond, QObject *parent = nullptr);

    void start() override;
    void stop() override;
    QString describe() const override;

    // Hands over every packet due by elapsedMs after the (last) start: packet k
    // (from 0) is due at k * 1000 / rate ms. The timer calls it with the real time;
    // tests call it directly.
    void replayUntil(qint64 elapsedMs);

    qint64 packetsReplayed() const { return mReplayed; }
    bool isRunning() const { return mRunning; }
    bool atEnd() const { return mAtEnd; }

private:
    void onTick();
    void finish();

    QString mPath;
    double mRatePerSecond;
    QFile mFile;
    QTimer mTimer;
    QElapsedTimer mClock;
    qint64 mReplayed = 0;
    qint64 mReplayedAtStart = 0;  // a stop and start resumes where it was
    bool mRunning = false;
    bool mAtEnd = false;
};

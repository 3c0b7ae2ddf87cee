#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// What the bridge's counters say, as its log lines count them.
struct LiveCounts {
    qint64 received = 0;  // packets the host received
    qint64 beacons = 0;   // beacons it raised
    qint64 stored = 0;    // rows written
    qint64 failed = 0;    // statements failed
    qint64 refused = 0;   // beacons a full queue refused
    qint64 waiting = 0;   // beacons in the queue
    qint64 kept = 0;      // statements kept while the link is reopened
};

// One feed as the live page shows it: its key, how it names itself and what
// it is doing. Never a login: feeds carry their passcode elsewhere.
struct LiveFeed {
    QString key;
    QString source;
    QString state;
    qint64 packets = 0;
};

// What the main window shows, kept for the live page: the window hands every
// change here as it shows it, and the page reads it as JSON. Plain data on the
// window's thread; the counters and feeds are read when asked for.
class LiveStatus
{
public:
    static constexpr int QueueCapacity = 1000;

    void setLinkConnected(bool connected) { mLinkConnected = connected; }
    // The status line's caption; its tooltip (the driver's whole diagnostic)
    // stays in the window.
    void setStatus(const QString &caption) { mStatus = caption; }
    void setBuffer(const QString &caption) { mBuffer = caption; }
    // The " Latest Data " fields as the window numbers them: 1 callsign,
    // 2 latitude, 3 longitude, 4 date.
    void setLatest(int field, const QString &text);
    // The journal's recovery: what it says about what it brought back after
    // a crash. Empty until a journal sets it.
    void setRecovery(const QString &text) { mRecovery = text; }
    void setCounts(std::function<LiveCounts()> counts) { mCounts = std::move(counts); }
    void setFeeds(std::function<QList<LiveFeed>()> feeds) { mFeeds = std::move(feeds); }

    bool linkConnected() const { return mLinkConnected; }
    QString status() const { return mStatus; }
    QString recovery() const { return mRecovery; }

    QByteArray toJson() const;

private:
    bool mLinkConnected = false;
    QString mStatus;
    QString mBuffer;
    QString mLatest[4];
    QString mRecovery;
    std::function<LiveCounts()> mCounts;
    std::function<QList<LiveFeed>()> mFeeds;
};

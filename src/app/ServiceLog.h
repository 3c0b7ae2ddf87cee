#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// The log's clock for a bridge left alone: a full queue's first refusal at
// once, then once a minute the beacons it refused in that minute and the counts of repeated statement
// failures; every ten minutes one summary line.
class ServiceLog : public QObject
{
    Q_OBJECT
public:
    struct Counts {
        qint64 received = 0;   // packets the host took in
        qint64 beacons = 0;    // beacons the host raised
        qint64 stored = 0;     // rows written
        qint64 failed = 0;     // statements that failed
        qint64 refused = 0;    // beacons refused by a full queue
        qint64 recovered = 0;  // stored from the packet journal, apart from the live ones
        int waiting = 0;       // beacons yet to be stored: the queue's and one a lost link kept
    };
    using CountsSource = std::function<Counts()>;

    ServiceLog(CountsSource counts, std::function<void()> minutePassed, QObject *parent = nullptr);

    // The timer calls it; so may a test.
    void minutePassed();

    // What the summary line would say now; the live page shows it too.
    Counts counts() const { return mCounts(); }
    // A full queue refused a beacon: the first of a run is logged at once,
    // the rest are counted in the minute's line.
    void beaconRefused();

    // The summary line now; the closing event writes it last.
    void writeSummary();

    static QString summaryLine(const Counts &counts);

private:
    CountsSource mCounts;
    std::function<void()> mMinutePassed;
    QTimer mMinute;
    int mMinutes = 0;
    qint64 mRefusedBefore = 0;
    bool mRefusing = false;
};

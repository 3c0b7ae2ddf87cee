#pragma once

#include "recovery/JournalRecovery.h"

#include <QDateTime>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>

class RecoveryWorker;

// Keeps the mark of how far the journal is stored, and reads the journal
// back when beacons were missed: after the queue refused beacons or a lost
// link held them, and at every start (a stop may have left beacons behind).
// The window tells it what happens (link up, a beacon refused, the queue
// drained); the recovery itself runs on a thread of its own.
class RecoveryCoordinator : public QObject
{
    Q_OBJECT
public:
    // Lines younger than this may still be held in the journal's memory: a
    // recovery reads only up to now minus this.
    static constexpr int JournalLagMs = 2500;
    // A recovery that stopped early is tried again no sooner.
    static constexpr int RetryMs = 5000;
    // The mark is written at most this often while beacons flow.
    static constexpr int MarkEveryMs = 1000;

    struct Setup {
        QString markPath;
        QString journalFolder;
        StationSettings station;
        std::function<QList<int>()> checks;  // the check boxes, read on the window's thread
        std::function<QDateTime()> clock;    // UTC now; the wall clock when empty
    };

    explicit RecoveryCoordinator(Setup setup, QObject *parent = nullptr);
    ~RecoveryCoordinator() override;

    // The link is (again) up with this connect string.
    void linkUp(const QString &driverConnectString);
    void linkDown() { mLinkUp = false; }
    // The queue refused a beacon, or the link lost it: it is in the journal.
    void beaconMissed();
    // The queue is empty and nothing is held: every beacon heard until now is
    // stored or given up. Starts a recovery that is due.
    void queueDrained();

    qint64 recovered() const { return mRecovered; }
    bool isRunning() const { return mRunning; }
    bool isDue() const { return mMissedUpTo.isValid(); }
    QDateTime mark() const { return mMark; }

signals:
    void recoveryFinished(const JournalRecovery::Result &result);

private:
    QDateTime now() const;
    void start();
    void finish(const JournalRecovery::Result &result);
    void setMark(const QDateTime &mark);

    Setup mSetup;
    QDateTime mMark;
    QDateTime mMarkWrittenAt;
    // The latest heard time of a beacon known to be missed; invalid when none.
    QDateTime mMissedUpTo;
    QDateTime mNotBefore;
    QString mConnectString;
    bool mLinkUp = false;
    bool mRunning = false;
    qint64 mRecovered = 0;
    std::atomic_bool mStop = false;
    QThread mThread;
    RecoveryWorker *mWorker = nullptr;
};

#pragma once

#include "host/HostApplication.h"
#include "linuxhost/HostSettings.h"
#include "linuxhost/PacketJournal.h"
#include "linuxhost/TerminationSignals.h"
#include "linuxhost/feeds/PacketSource.h"
#include "road/BeaconRoad.h"

#include <QThread>
#include <QTimer>
#include <mutex>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// The host the bridge attaches to on Linux. It takes TNC2 lines from its packet
// sources (TNCs over KISS or AGW, APRS-IS servers, logs), one or several at
// once, passes each along the beacon road (one duplicate filter, the decoder,
// the per-station memories, the mapping), and raises NotifyBeaconData for
// every packet that places a station on the map.
//
// SIGTERM, SIGINT and SIGHUP stop the feed at once; the bridge then has up to
// StopDrainMs to store the beacons it still holds (setBeaconsWaiting tells how
// many), and UIView32IsClosing follows. A second signal ends the process.
//
// runOnOwnThread() moves the host and its feeds to a thread of their own, so
// that hearing, decoding and time-stamping never wait for a statement on the
// window's thread; the events then reach the window queued. What the window
// reads of the host (counters, memories, the connection flag, the waiting
// count) is guarded or atomic. A stop there ends the process itself when the
// window does not close within StatementGraceMs of the closing event: a hung
// statement cannot hold the program past the drain limit and that grace.
class LinuxHost : public HostApplication
{
    Q_OBJECT
public:
    // Radio ports of feed n are 100 * (n - 1) + the TNC's port + 1: feed 1's
    // port 0 is radio port 1, feed 2's port 0 is 101. APRS-IS and logs stay 0.
    static constexpr int RadioPortsPerFeed = 100;

    explicit LinuxHost(const HostSettings &settings, QObject *parent = nullptr);
    ~LinuxHost() override;

    // The source for one feed; the login and replay rate come from settings.
    static std::unique_ptr<PacketSource> makeSource(const HostSettings &settings, const FeedSettings &feed);
    // Makes and attaches a source for every usable feed of settings.
    void attachFeeds(const HostSettings &settings);

    // Takes the source over as feed feedNumber and listens to it; start()
    // sets it going.
    void attachSource(std::unique_ptr<PacketSource> source, int feedNumber = 1);
    // The first source attached, or none.
    PacketSource *source() const { return mSources.empty() ? nullptr : mSources.front().get(); }
    const std::vector<std::unique_ptr<PacketSource>> &sources() const { return mSources; }
    void start();

    // Moves the host to a thread of its own and starts it; call before
    // attachFeeds(), which then makes the sources there; start() and
    // watchTerminationSignals() run there too. The destructor stops the thread.
    void runOnOwnThread();
    bool runsOnOwnThread() const { return mThread != nullptr; }

    static constexpr int StopDrainMs = 15'000;
    // What a statement may take at most (the stall watchdog ends a hung one
    // after about 10 s), with a second to spare.
    static constexpr int StatementGraceMs = 11'000;

    void watchTerminationSignals();
    // How many beacons the bridge has yet to store; a stop with none closes
    // at once. Called on the window's thread.
    void setBeaconsWaiting(int count) override { mBeaconsWaiting.store(count, std::memory_order_relaxed); }
    int beaconsWaiting() const { return mBeaconsWaiting.load(std::memory_order_relaxed); }
    void setStopDrainMs(int ms) { mStopDrainMs = ms; }
    // After the closing event, how long the window has to end the process
    // before the host ends it; 0 (the default off its own thread) waits for
    // ever.
    void setExitGraceMs(int ms) { mExitGraceMs = ms; }
    // How the host ends the process when the window does not; by default
    // standard output and error are flushed and the process exits with 0.
    void setEndProcess(std::function<void()> endProcess) { mEndProcess = std::move(endProcess); }
    // What a termination signal does: the feed stops, and the closing event
    // is raised once nothing is pending or the drain time is up.
    void requestStop();
    bool isStopping() const { return mStopping.load(); }
    void setClock(std::shared_ptr<const HostClock> clock)
    {
        std::lock_guard lock(mRoadLock);
        mRoad.setClock(std::move(clock));
    }
    // Every packet goes to the journal first; the host owns it (and moves it along to its thread).
    void setJournal(PacketJournal *journal);
    PacketJournal *journal() const { return mJournal; }

    void setAddOnConnected(HostBool connected) override { mAddOnConnected.store(connected); }
    HostBool addOnConnected() const override { return mAddOnConnected.load(); }
    // The readings heard with the beacon being stored; asked outside a store,
    // the latest heard from callsign.
    HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) override;
    void setBeaconBeingStored(const BeaconRecord *beacon) override;

    // Snapshots, safe from any thread.
    HostCounters counters() const;
    QString statusOf(const QString &callsign) const;
    qsizetype stationsRemembered() const;

public slots:
    // One packet as a source delivers it: the bytes of one TNC2 line, with its
    // radio port already numbered across the feeds.
    void takePacket(const QByteArray &line, qint16 radioPort);

private:
    void closeWhenDrained();
    void close();
    void endUnclosed();
    // On the host's thread: the feeds and the signal watch go, and the host
    // returns to the thread that made it.
    void leaveOwnThread();

    // The road runs on the host's thread; the window's reads take the lock
    // for as long as one copy.
    // A std::mutex rather than a QMutex: ThreadSanitizer sees it.
    mutable std::mutex mRoadLock;
    BeaconRoad mRoad;
    PacketJournal *mJournal = nullptr;
    std::vector<std::unique_ptr<PacketSource>> mSources;
    std::unique_ptr<TerminationSignals> mSignals;
    std::atomic<HostBool> mAddOnConnected = HostFalse;
    std::atomic<int> mBeaconsWaiting = 0;
    std::atomic<bool> mStopping = false;
    // Window thread only: the beacon the recorder is storing.
    const BeaconRecord *mBeingStored = nullptr;
    int mStopDrainMs = StopDrainMs;
    int mExitGraceMs = 0;
    std::function<void()> mEndProcess;
    bool mClosed = false;
    QTimer mDrainCheck;
    QTimer mDrainLimit;
    QTimer mExitGrace;
    int mPendingAtStop = 0;
    std::unique_ptr<QThread> mThread;
    QThread *mOwnerThread = nullptr;
};

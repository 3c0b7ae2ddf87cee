#pragma once

#include "host/HostApplication.h"
#include "linuxhost/HostSettings.h"
#include "linuxhost/PacketJournal.h"
#include "linuxhost/TerminationSignals.h"
#include "linuxhost/feeds/PacketSource.h"
#include "road/BeaconRoad.h"

#include <QTimer>

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
// StopDrainMs to store the beacons it still holds (setPendingBeacons tells how
// many), and UIView32IsClosing follows. A second signal ends the process.
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

    static constexpr int StopDrainMs = 15'000;

    void watchTerminationSignals();
    // How many beacons the bridge has yet to store; without it a stop closes
    // at once.
    void setPendingBeacons(std::function<int()> pending) { mPendingBeacons = std::move(pending); }
    void setStopDrainMs(int ms) { mStopDrainMs = ms; }
    // What a termination signal does: the feed stops, and the closing event
    // is raised once nothing is pending or the drain time is up.
    void requestStop();
    bool isStopping() const { return mStopping; }
    void setClock(std::shared_ptr<const HostClock> clock) { mRoad.setClock(std::move(clock)); }
    // Every packet goes to the journal first; the host owns it (and moves it along to its thread).
    void setJournal(PacketJournal *journal);
    PacketJournal *journal() const { return mJournal; }

    void setAddOnConnected(HostBool connected) override { mAddOnConnected = connected; }
    HostBool addOnConnected() const override { return mAddOnConnected; }
    HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) override;

    const HostCounters &counters() const { return mRoad.counters(); }
    QString statusOf(const QString &callsign) const { return mRoad.statusOf(callsign); }
    qsizetype stationsRemembered() const { return mRoad.stationsRemembered(); }

public slots:
    // One packet as a source delivers it: the bytes of one TNC2 line, with its
    // radio port already numbered across the feeds.
    void takePacket(const QByteArray &line, qint16 radioPort);

private:
    void closeWhenDrained();
    void close();

    BeaconRoad mRoad;
    PacketJournal *mJournal = nullptr;
    std::vector<std::unique_ptr<PacketSource>> mSources;
    std::unique_ptr<TerminationSignals> mSignals;
    HostBool mAddOnConnected = HostFalse;
    std::function<int()> mPendingBeacons;
    int mStopDrainMs = StopDrainMs;
    bool mStopping = false;
    bool mClosed = false;
    QTimer mDrainCheck;
    QTimer mDrainLimit;
    int mPendingAtStop = 0;
};

#pragma once

#include "linuxhost/BeaconMapper.h"
#include "linuxhost/DuplicateFilter.h"
#include "host/HostApplication.h"
#include "linuxhost/HostClock.h"
#include "linuxhost/HostCounters.h"
#include "linuxhost/HostSettings.h"
#include "linuxhost/feeds/PacketSource.h"
#include "linuxhost/StationMemory.h"
#include "linuxhost/TerminationSignals.h"
#include "host/WeatherReadings.h"

#include <QTimer>

#include <functional>
#include <memory>

// The host the bridge attaches to on Linux. It takes TNC2 lines from one packet
// source (a KISS TNC, an APRS-IS server or a log), decodes them, and raises
// NotifyBeaconData for every packet that places a station on the map. Status
// texts and weather reports are kept per station for later beacons and for
// lookupWeather, within StationMemory's bounds.
//
// SIGTERM, SIGINT and SIGHUP stop the feed at once; the bridge then has up to
// StopDrainMs to store the beacons it still holds (setPendingBeacons tells how
// many), and UIView32IsClosing follows. A second signal ends the process.
class LinuxHost : public HostApplication
{
    Q_OBJECT
public:
    explicit LinuxHost(const HostSettings &settings, QObject *parent = nullptr);
    ~LinuxHost() override;

    // The source for the settings' feed.
    static std::unique_ptr<PacketSource> makeSource(const HostSettings &settings);

    // Takes the source over and listens to it; start() sets it going.
    void attachSource(std::unique_ptr<PacketSource> source);
    PacketSource *source() const { return mSource; }
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
    void setClock(std::shared_ptr<const HostClock> clock) { mClock = std::move(clock); }

    void setAddOnConnected(HostBool connected) override { mAddOnConnected = connected; }
    HostBool addOnConnected() const override { return mAddOnConnected; }
    HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) override;

    const HostCounters &counters() const { return mCounters; }
    QString statusOf(const QString &callsign) const
    {
        const QString *text = mStatusTexts.find(callsign);
        return text ? *text : QString();
    }
    qsizetype stationsRemembered() const { return mStatusTexts.size() + mWeather.size(); }

public slots:
    // One packet as a source delivers it: the bytes of one TNC2 line.
    void takePacket(const QByteArray &line, qint16 radioPort, bool fromRadio);

private:
    void closeWhenDrained();
    void close();

    std::shared_ptr<const HostClock> mClock;
    BeaconMapper mMapper;
    DuplicateFilter mDuplicates;
    PacketSource *mSource = nullptr;
    std::unique_ptr<TerminationSignals> mSignals;
    StationMemory<QString> mStatusTexts;
    StationMemory<WeatherReadings> mWeather;
    HostCounters mCounters;
    HostBool mAddOnConnected = HostFalse;
    std::function<int()> mPendingBeacons;
    int mStopDrainMs = StopDrainMs;
    bool mStopping = false;
    bool mClosed = false;
    QTimer mDrainCheck;
    QTimer mDrainLimit;
    int mPendingAtStop = 0;
};

#pragma once

#include "linuxhost/BeaconMapper.h"
#include "linuxhost/DuplicateFilter.h"
#include "host/HostApplication.h"
#include "linuxhost/HostClock.h"
#include "linuxhost/HostCounters.h"
#include "linuxhost/HostSettings.h"
#include "linuxhost/feeds/PacketSource.h"
#include "linuxhost/TerminationSignals.h"
#include "host/WeatherReadings.h"

#include <QHash>

#include <memory>

// The host the bridge attaches to on Linux. It takes TNC2 lines from one packet
// source (a KISS TNC, an APRS-IS server or a log), decodes them, and raises
// NotifyBeaconData for every packet that places a station on the map. Status
// texts and weather reports are kept per station for later beacons and for
// lookupWeather. SIGTERM, SIGINT and SIGHUP become UIView32IsClosing.
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

    void watchTerminationSignals();
    void setClock(std::shared_ptr<const HostClock> clock) { mClock = std::move(clock); }

    void setAddOnConnected(HostBool connected) override { mAddOnConnected = connected; }
    HostBool addOnConnected() const override { return mAddOnConnected; }
    HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) override;

    const HostCounters &counters() const { return mCounters; }
    QString statusOf(const QString &callsign) const { return mStatusTexts.value(callsign); }

public slots:
    // One packet as a source delivers it: the bytes of one TNC2 line.
    void takePacket(const QByteArray &line, qint16 radioPort, bool fromRadio);

private:
    std::shared_ptr<const HostClock> mClock;
    BeaconMapper mMapper;
    DuplicateFilter mDuplicates;
    PacketSource *mSource = nullptr;
    std::unique_ptr<TerminationSignals> mSignals;
    QHash<QString, QString> mStatusTexts;
    QHash<QString, WeatherReadings> mWeather;
    HostCounters mCounters;
    HostBool mAddOnConnected = HostFalse;
};

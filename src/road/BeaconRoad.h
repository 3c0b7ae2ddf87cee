#pragma once

#include "host/WeatherReadings.h"
#include "host/WeatherRecord.h"
#include "road/BeaconMapper.h"
#include "road/DuplicateFilter.h"
#include "road/HostClock.h"
#include "road/HostCounters.h"
#include "road/StationMemory.h"
#include "road/StationSettings.h"

#include <QByteArrayView>

#include <memory>

namespace aprs {
struct Packet;
}

// What becomes of a heard packet before the bridge sees it, whether it came
// from a live feed or from a log: one duplicate filter, the decoder, the
// per-station memories of status texts and weather readings, and the mapping
// to a beacon record. No I/O: the Linux host feeds it what its sources hear,
// keldan-import what its logs hold, each with a clock of its own.
class BeaconRoad
{
public:
    explicit BeaconRoad(const StationSettings &settings);
    ~BeaconRoad();

    // The times a beacon carries and the duplicate window run on this clock.
    void setClock(std::shared_ptr<const HostClock> clock) { mClock = std::move(clock); }

    // One packet: the bytes of one TNC2 line and its radio port. Returns the
    // beacon it places on the map, or null (a duplicate, a status or weather
    // report kept for later beacons, a message, a packet that does not decode).
    std::shared_ptr<const ReceivedBeacon> take(QByteArrayView line, qint16 radioPort)
    {
        return take(line, radioPort, mClock->now());
    }
    // The same, for a packet its caller stamped already (heardAt from now()).
    std::shared_ptr<const ReceivedBeacon> take(QByteArrayView line, qint16 radioPort, const QDateTime &heardAt);
    QDateTime now() const { return mClock->now(); }

    // The latest weather readings heard from callsign, or null.
    const WeatherReadings *weatherOf(const QString &callsign) const { return mWeather.find(callsign); }
    // The host's weather lookup: copies them into record (made when it holds
    // no WeatherReadings); HostFalse when the station sent none.
    HostBool lookupWeather(const QString &callsign, WeatherRecordRef &record) const;
    QString statusOf(const QString &callsign) const
    {
        const QString *text = mStatusTexts.find(callsign);
        return text ? *text : QString();
    }
    qsizetype stationsRemembered() const { return mStatusTexts.size() + mWeather.size(); }
    const HostCounters &counters() const { return mCounters; }
    // The decoder's reason code ("loc_inv", ...) for the last packet it
    // rejected; empty before the first.
    const char *lastRejection() const { return mLastRejection; }

private:
    std::shared_ptr<const HostClock> mClock;
    BeaconMapper mMapper;
    // Decoded into line after line: once its texts have grown, decoding
    // allocates nothing. Held by pointer so that users of the road do not see aprs/.
    std::unique_ptr<aprs::Packet> mPacket;
    DuplicateFilter mDuplicates;
    StationMemory<QString> mStatusTexts;
    StationMemory<WeatherReadings> mWeather;
    HostCounters mCounters;
    const char *mLastRejection = "";
};

#include "road/BeaconRoad.h"

#include "aprs/AprsDecoder.h"
#include "road/HostWeather.h"

#include <string_view>

BeaconRoad::BeaconRoad(const StationSettings &settings)
    : mClock(std::make_shared<HostClock>()), mMapper(settings.latitudeDeg, settings.longitudeDeg, settings.exclusions),
      mPacket(std::make_unique<aprs::Packet>())
{
    mMapper.setUtc(settings.timeZone == StationSettings::TimeZone::Utc);
}

BeaconRoad::~BeaconRoad() = default;

HostBool BeaconRoad::lookupWeather(const QString &callsign, WeatherRecordRef &record) const
{
    const WeatherReadings *found = mWeather.find(callsign);
    if (!found)
        return HostFalse;
    if (auto *readings = dynamic_cast<WeatherReadings *>(record.get()))
        *readings = *found;
    else
        record = std::make_shared<WeatherReadings>(*found);
    return HostTrue;
}

// One duplicate filter for all feeds: the first copy of a packet is kept,
// whichever feed brings it (docs/linux-host.md says why).
std::shared_ptr<const ReceivedBeacon> BeaconRoad::take(QByteArrayView line, qint16 radioPort, const QDateTime &heardAt)
{
    ++mCounters.received;
    const qint64 nowMs = mClock->steadyMs();
    const QByteArray key = DuplicateFilter::keyOf(line);
    if (!key.isEmpty() && mDuplicates.isDuplicate(key, nowMs)) {
        ++mCounters.duplicates;
        return nullptr;
    }

    // The line ends at its first NUL byte, as a host of C strings reads it:
    // the decoder's comment, which the bridge stores, then ends there too.
    const qsizetype nul = line.indexOf('\0');
    aprs::decode(std::string_view(line.data(), size_t(nul < 0 ? line.size() : nul)), *mPacket);
    const aprs::Packet &packet = *mPacket;
    if (!packet.ok()) {
        ++mCounters.rejected;
        mLastRejection = packet.error;
        return nullptr;
    }

    const QString callsign = BeaconMapper::recordCallsign(packet);
    const bool carriesWeather = packet.hasWeather && packet.weather.hasAnyReading();
    // Any packet of a station counts as hearing it.
    if (carriesWeather)
        mWeather.insert(callsign, HostWeather::readingsFrom(packet.weather), nowMs);
    else
        mWeather.touch(callsign, nowMs);
    const QString *status = mStatusTexts.touch(callsign, nowMs);

    switch (packet.kind) {
    case aprs::PacketKind::Position:
    case aprs::PacketKind::MicE:
    case aprs::PacketKind::Object:
    case aprs::PacketKind::Item:
        break;
    case aprs::PacketKind::Status:
        mStatusTexts.insert(callsign, packet.statusText, nowMs);
        ++mCounters.remembered;
        return nullptr;
    case aprs::PacketKind::Weather:
        ++(carriesWeather ? mCounters.remembered : mCounters.dropped);
        return nullptr;
    default:
        ++mCounters.dropped;
        return nullptr;
    }
    if (!packet.hasPosition || !packet.alive) {
        ++mCounters.dropped;
        return nullptr;
    }

    BeaconMapper::Reception reception;
    reception.line = line;
    reception.radioPort = radioPort;
    reception.receivedAt = heardAt;
    if (status)
        reception.statusText = *status;
    ++mCounters.beacons;
    // The readings go with the beacon: the weather row stored for it, however
    // long it waits in the queue, holds what was heard with it.
    const WeatherReadings *weather = mWeather.find(callsign);
    return std::make_shared<const ReceivedBeacon>(
        mMapper.map(packet, reception), weather ? std::optional(*weather) : std::nullopt);
}

#include "linuxhost/LinuxHost.h"

#include "aprs/AprsDecoder.h"
#include "linuxhost/feeds/AprsIsSource.h"
#include "linuxhost/HostLog.h"
#include "linuxhost/HostWeather.h"
#include "linuxhost/feeds/KissTcpSource.h"
#include "linuxhost/feeds/LogReplaySource.h"
#include "linuxhost/ReceivedBeacon.h"

#include <string_view>

LinuxHost::LinuxHost(const HostSettings &settings, QObject *parent)
    : HostApplication(parent), mClock(std::make_shared<HostClock>()),
      mMapper(settings.latitudeDeg, settings.longitudeDeg, settings.exclusions)
{
    mMapper.setUtc(settings.timeZone == HostSettings::TimeZone::Utc);
}

LinuxHost::~LinuxHost()
{
    if (mSource)
        mSource->stop();
}

std::unique_ptr<PacketSource> LinuxHost::makeSource(const HostSettings &settings)
{
    switch (settings.feedKind) {
    case HostSettings::FeedKind::Kiss:
        return std::make_unique<KissTcpSource>(settings.feedHost, settings.feedPort);
    case HostSettings::FeedKind::AprsIs:
        return std::make_unique<AprsIsSource>(settings.feedHost, settings.feedPort, settings.callsign,
                                              settings.passcode, settings.filter);
    case HostSettings::FeedKind::Log:
        return std::make_unique<LogReplaySource>(settings.logPath, settings.replayRate);
    }
    return nullptr;
}

void LinuxHost::attachSource(std::unique_ptr<PacketSource> source)
{
    if (mSource) {
        mSource->stop();
        delete mSource;
    }
    mSource = source.release();
    if (!mSource)
        return;
    mSource->setParent(this);
    connect(mSource, &PacketSource::packetReceived, this, &LinuxHost::takePacket);
}

void LinuxHost::start()
{
    if (mSource)
        mSource->start();
}

void LinuxHost::watchTerminationSignals()
{
    if (mSignals)
        return;
    mSignals = std::make_unique<TerminationSignals>();
    connect(mSignals.get(), &TerminationSignals::received, this, [this](int) { emit UIView32IsClosing(); });
}

HostBool LinuxHost::lookupWeather(QString &callsign, WeatherRecordRef &record)
{
    const auto found = mWeather.constFind(callsign);
    if (found == mWeather.constEnd())
        return HostFalse;
    if (auto *readings = dynamic_cast<WeatherReadings *>(record.get()))
        *readings = *found;
    else
        record = std::make_shared<WeatherReadings>(*found);
    return HostTrue;
}

void LinuxHost::takePacket(const QByteArray &line, qint16 radioPort, bool /*fromRadio*/)
{
    ++mCounters.received;
    const QByteArray key = DuplicateFilter::keyOf(line);
    if (!key.isEmpty() && mDuplicates.isDuplicate(key, mClock->steadyMs())) {
        ++mCounters.duplicates;
        return;
    }

    const aprs::Packet packet = aprs::decode(std::string_view(line.constData(), size_t(line.size())));
    if (!packet.ok()) {
        ++mCounters.rejected;
        return;
    }

    const QString callsign = BeaconMapper::recordCallsign(packet);
    const bool carriesWeather = packet.hasWeather && packet.weather.hasAnyReading();
    if (carriesWeather)
        mWeather.insert(callsign, HostWeather::readingsFrom(packet.weather));

    switch (packet.kind) {
    case aprs::PacketKind::Position:
    case aprs::PacketKind::MicE:
    case aprs::PacketKind::Object:
    case aprs::PacketKind::Item:
        break;
    case aprs::PacketKind::Status:
        mStatusTexts.insert(callsign, packet.statusText);
        ++mCounters.remembered;
        return;
    case aprs::PacketKind::Weather:
        ++(carriesWeather ? mCounters.remembered : mCounters.dropped);
        return;
    default:
        ++mCounters.dropped;
        return;
    }
    if (!packet.hasPosition || !packet.alive) {
        ++mCounters.dropped;
        return;
    }

    BeaconMapper::Reception reception;
    reception.line = line;
    reception.radioPort = radioPort;
    reception.receivedAt = mClock->now();
    reception.statusText = mStatusTexts.value(callsign);
    const auto beacon = std::make_shared<const ReceivedBeacon>(mMapper.map(packet, reception));
    ++mCounters.beacons;
    emit NotifyBeaconData(beacon);
}

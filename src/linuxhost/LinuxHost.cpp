#include "linuxhost/LinuxHost.h"

#include "aprs/AprsDecoder.h"
#include "linuxhost/HostWeather.h"
#include "linuxhost/ReceivedBeacon.h"
#include "linuxhost/feeds/AgwSource.h"
#include "linuxhost/feeds/AprsIsSource.h"
#include "linuxhost/feeds/KissTcpSource.h"
#include "linuxhost/feeds/LogReplaySource.h"
#include "linuxhost/feeds/SerialKissSource.h"

#include "host/LogCategories.h"

#include <string_view>

LinuxHost::LinuxHost(const HostSettings &settings, QObject *parent)
    : HostApplication(parent), mClock(std::make_shared<HostClock>()),
      mMapper(settings.latitudeDeg, settings.longitudeDeg, settings.exclusions),
      mPacket(std::make_unique<aprs::Packet>())
{
    mMapper.setUtc(settings.timeZone == HostSettings::TimeZone::Utc);
    mDrainCheck.setInterval(20);
    connect(&mDrainCheck, &QTimer::timeout, this, &LinuxHost::closeWhenDrained);
    mDrainLimit.setSingleShot(true);
    connect(&mDrainLimit, &QTimer::timeout, this, &LinuxHost::close);
}

LinuxHost::~LinuxHost()
{
    for (const auto &source : mSources)
        source->stop();
}

std::unique_ptr<PacketSource> LinuxHost::makeSource(const HostSettings &settings, const FeedSettings &feed)
{
    switch (feed.kind) {
    case FeedSettings::Kind::Kiss:
        return std::make_unique<KissTcpSource>(feed.host, feed.port);
    case FeedSettings::Kind::Agw:
        return std::make_unique<AgwSource>(feed.host, feed.port);
    case FeedSettings::Kind::AprsIs:
        return std::make_unique<AprsIsSource>(
            feed.host, feed.port, settings.callsign, settings.passcode, settings.filter);
    case FeedSettings::Kind::Serial:
        return std::make_unique<SerialKissSource>(feed.path, feed.baudRate);
    case FeedSettings::Kind::Log:
        return std::make_unique<LogReplaySource>(feed.path, settings.replayRate);
    }
    return nullptr;
}

void LinuxHost::attachFeeds(const HostSettings &settings)
{
    for (const FeedSettings &feed : settings.usableFeeds())
        attachSource(makeSource(settings, feed), feed.number);
}

void LinuxHost::attachSource(std::unique_ptr<PacketSource> source, int feedNumber)
{
    if (!source)
        return;
    const int firstPort = RadioPortsPerFeed * (feedNumber - 1);
    if (firstPort == 0) {
        connect(source.get(), &PacketSource::packetReceived, this, &LinuxHost::takePacket);
    } else {
        connect(source.get(), &PacketSource::packetReceived, this,
            [this, firstPort](const QByteArray &line, qint16 radioPort) {
                takePacket(line, radioPort > 0 ? qint16(firstPort + radioPort) : radioPort);
            });
    }
    mSources.push_back(std::move(source));
}

void LinuxHost::start()
{
    for (const auto &source : mSources)
        source->start();
}

void LinuxHost::watchTerminationSignals()
{
    if (mSignals)
        return;
    mSignals = std::make_unique<TerminationSignals>();
    connect(mSignals.get(), &TerminationSignals::received, this, &LinuxHost::requestStop);
}

void LinuxHost::requestStop()
{
    if (mStopping)
        return;
    mStopping = true;
    for (const auto &source : mSources)
        source->stop();
    mPendingAtStop = mPendingBeacons ? mPendingBeacons() : 0;
    qCInfo(lcBridge).noquote() << QStringLiteral("stopping: feed stopped after %1 packets, %2 beacons waiting; "
                                                 "storing them for at most %3 s")
                                      .arg(mCounters.received)
                                      .arg(mPendingAtStop)
                                      .arg(mStopDrainMs / 1000.0);
    mDrainLimit.start(mStopDrainMs);
    mDrainCheck.start();
    closeWhenDrained();
}

void LinuxHost::closeWhenDrained()
{
    if (!mPendingBeacons || mPendingBeacons() == 0)
        close();
}

void LinuxHost::close()
{
    if (mClosed)
        return;
    mClosed = true;
    mDrainCheck.stop();
    mDrainLimit.stop();
    const int left = mPendingBeacons ? mPendingBeacons() : 0;
    qCInfo(lcBridge).noquote() << QStringLiteral("closing: %1 of %2 waiting beacons handed to the database, %3 left")
                                      .arg(mPendingAtStop - left)
                                      .arg(mPendingAtStop)
                                      .arg(left);
    emit UIView32IsClosing();
}

HostBool LinuxHost::lookupWeather(QString &callsign, WeatherRecordRef &record)
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
void LinuxHost::takePacket(const QByteArray &line, qint16 radioPort)
{
    ++mCounters.received;
    const qint64 nowMs = mClock->steadyMs();
    const QByteArray key = DuplicateFilter::keyOf(line);
    if (!key.isEmpty() && mDuplicates.isDuplicate(key, nowMs)) {
        ++mCounters.duplicates;
        return;
    }

    // The line ends at its first NUL byte, as a host of C strings reads it:
    // the decoder's comment, which the bridge stores, then ends there too.
    const qsizetype nul = line.indexOf('\0');
    aprs::decode(std::string_view(line.constData(), size_t(nul < 0 ? line.size() : nul)), *mPacket);
    const aprs::Packet &packet = *mPacket;
    if (!packet.ok()) {
        ++mCounters.rejected;
        return;
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
    if (status)
        reception.statusText = *status;
    const auto beacon = std::make_shared<const ReceivedBeacon>(mMapper.map(packet, reception));
    ++mCounters.beacons;
    emit NotifyBeaconData(beacon);
}

#include "linuxhost/LinuxHost.h"

#include "linuxhost/feeds/AgwSource.h"
#include "linuxhost/feeds/AprsIsSource.h"
#include "linuxhost/feeds/KissTcpSource.h"
#include "linuxhost/feeds/LogReplaySource.h"
#include "linuxhost/feeds/SerialKissSource.h"

#include "host/LogCategories.h"

LinuxHost::LinuxHost(const HostSettings &settings, QObject *parent) : HostApplication(parent), mRoad(settings)
{
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
                                      .arg(mRoad.counters().received)
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
    return mRoad.lookupWeather(callsign, record);
}

void LinuxHost::setJournal(PacketJournal *journal)
{
    delete mJournal;
    mJournal = journal;
    if (mJournal)
        mJournal->setParent(this);
}

void LinuxHost::takePacket(const QByteArray &line, qint16 radioPort)
{
    if (mJournal)
        mJournal->write(radioPort, line);
    if (auto beacon = mRoad.take(line, radioPort))
        emit NotifyBeaconData(beacon);
}

#include "linuxhost/LinuxHost.h"

#include "linuxhost/feeds/AgwSource.h"
#include "linuxhost/feeds/AprsIsSource.h"
#include "linuxhost/feeds/KissTcpSource.h"
#include "linuxhost/feeds/LogReplaySource.h"
#include "linuxhost/feeds/SerialKissSource.h"

#include "host/LogCategories.h"
#include "road/ReceivedBeacon.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstdio>
#include <unistd.h>

// The timers are children, so that they move with the host to its thread.
LinuxHost::LinuxHost(const HostSettings &settings, QObject *parent)
    : HostApplication(parent), mRoad(settings), mDrainCheck(this), mDrainLimit(this), mExitGrace(this)
{
    mDrainCheck.setInterval(20);
    connect(&mDrainCheck, &QTimer::timeout, this, &LinuxHost::closeWhenDrained);
    mDrainLimit.setSingleShot(true);
    connect(&mDrainLimit, &QTimer::timeout, this, &LinuxHost::close);
    mExitGrace.setSingleShot(true);
    connect(&mExitGrace, &QTimer::timeout, this, &LinuxHost::endUnclosed);
}

LinuxHost::~LinuxHost()
{
    if (mThread) {
        QMetaObject::invokeMethod(
            this, [this] { leaveOwnThread(); }, Qt::BlockingQueuedConnection);
        mThread->quit();
        mThread->wait();
        mThread.reset();
    }
    for (const auto &source : mSources)
        source->stop();
}

void LinuxHost::runOnOwnThread()
{
    if (mThread)
        return;
    mOwnerThread = thread();
    mThread = std::make_unique<QThread>();
    mThread->setObjectName(QStringLiteral("host"));
    if (!mSources.empty())
        qCWarning(lcHost) << "a source attached before the host's thread keeps its timers on the window's thread";
    moveToThread(mThread.get());
    for (const auto &source : mSources)
        source->moveToThread(mThread.get());
    if (mExitGraceMs == 0)
        mExitGraceMs = StatementGraceMs;
    mThread->start();
    // The signal watch is made again there, its notifier with it.
    if (mSignals) {
        mSignals.reset();
        watchTerminationSignals();
    }
}

void LinuxHost::leaveOwnThread()
{
    mDrainCheck.stop();
    mDrainLimit.stop();
    mExitGrace.stop();
    mSignals.reset();
    for (const auto &source : mSources)
        source->stop();
    mSources.clear();
    moveToThread(mOwnerThread);
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
    // A source is made on the thread it runs on: its timers and ports are
    // members that moveToThread would leave behind.
    if (mThread && QThread::currentThread() != mThread.get()) {
        QMetaObject::invokeMethod(
            this, [this, &settings] { attachFeeds(settings); }, Qt::BlockingQueuedConnection);
        return;
    }
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
    if (mThread && QThread::currentThread() != mThread.get()) {
        // Once the caller is back in its event loop, so that the connections
        // it makes to the events are there before the first packet.
        QPointer<LinuxHost> host(this);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [host] {
                if (host)
                    QMetaObject::invokeMethod(
                        host, [host] { host->start(); }, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        return;
    }
    for (const auto &source : mSources)
        source->start();
}

void LinuxHost::watchTerminationSignals()
{
    if (mSignals)
        return;
    // Made on the host's thread, so that the signal's notice is read there
    // whatever the window is doing.
    if (mThread && QThread::currentThread() != mThread.get()) {
        QMetaObject::invokeMethod(
            this, [this] { watchTerminationSignals(); }, Qt::QueuedConnection);
        return;
    }
    mSignals = std::make_unique<TerminationSignals>();
    connect(mSignals.get(), &TerminationSignals::received, this, &LinuxHost::requestStop);
}

void LinuxHost::requestStop()
{
    if (mThread && QThread::currentThread() != mThread.get()) {
        QMetaObject::invokeMethod(
            this, [this] { requestStop(); }, Qt::QueuedConnection);
        return;
    }
    if (mStopping.exchange(true))
        return;
    for (const auto &source : mSources)
        source->stop();
    mPendingAtStop = beaconsWaiting();
    qCInfo(lcBridge).noquote() << QStringLiteral("stopping: feed stopped after %1 packets, %2 beacons waiting; "
                                                 "storing them for at most %3 s")
                                      .arg(counters().received)
                                      .arg(mPendingAtStop)
                                      .arg(mStopDrainMs / 1000.0);
    mDrainLimit.start(mStopDrainMs);
    mDrainCheck.start();
    closeWhenDrained();
}

void LinuxHost::closeWhenDrained()
{
    if (beaconsWaiting() == 0)
        close();
}

void LinuxHost::close()
{
    if (mClosed)
        return;
    mClosed = true;
    mDrainCheck.stop();
    mDrainLimit.stop();
    const int left = beaconsWaiting();
    qCInfo(lcBridge).noquote() << QStringLiteral("closing: %1 of %2 waiting beacons handed to the database, %3 left")
                                      .arg(mPendingAtStop - left)
                                      .arg(mPendingAtStop)
                                      .arg(left);
    emit UIView32IsClosing();
    // The window ends the process when it takes the event; one statement
    // hanging there may hold it up to StatementGraceMs.
    if (mExitGraceMs > 0)
        mExitGrace.start(mExitGraceMs);
}

void LinuxHost::endUnclosed()
{
    const int left = beaconsWaiting();
    qCWarning(lcBridge).noquote() << QStringLiteral("ending: the window did not close within %1 s of the closing "
                                                    "event (a statement hangs); %2 beacons left unstored")
                                         .arg(mExitGraceMs / 1000.0)
                                         .arg(left);
    // The packet journal is flushed here, before the process ends: the
    // beacons left unstored are recovered from it at the next start.
    if (mJournal)
        mJournal->flush();
    if (mEndProcess) {
        mEndProcess();
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(0);
}

HostBool LinuxHost::lookupWeather(QString &callsign, WeatherRecordRef &record)
{
    if (const auto *beacon = dynamic_cast<const ReceivedBeacon *>(mBeingStored);
        beacon && beacon->callsign() == callsign) {
        const WeatherReadings *heard = beacon->weather();
        if (!heard)
            return HostFalse;
        if (auto *readings = dynamic_cast<WeatherReadings *>(record.get()))
            *readings = *heard;
        else
            record = std::make_shared<WeatherReadings>(*heard);
        return HostTrue;
    }
    std::lock_guard lock(mRoadLock);
    return mRoad.lookupWeather(callsign, record);
}

void LinuxHost::setJournal(PacketJournal *journal)
{
    delete mJournal;
    mJournal = journal;
    if (mJournal)
        mJournal->setParent(this);
}

void LinuxHost::setBeaconBeingStored(const BeaconRecord *beacon)
{
    mBeingStored = beacon;
}

HostCounters LinuxHost::counters() const
{
    std::lock_guard lock(mRoadLock);
    return mRoad.counters();
}

QString LinuxHost::statusOf(const QString &callsign) const
{
    std::lock_guard lock(mRoadLock);
    return mRoad.statusOf(callsign);
}

qsizetype LinuxHost::stationsRemembered() const
{
    std::lock_guard lock(mRoadLock);
    return mRoad.stationsRemembered();
}

// The beacon is stamped here, when heard, on the host's thread; the window
// takes it from its queue later.
void LinuxHost::takePacket(const QByteArray &line, qint16 radioPort)
{
    // One reading of the clock for the journal and the beacon: two readings
    // could fall in different seconds, and recovery, which looks for the
    // stored beacon by the journal's time, would then store it again.
    QDateTime heardAt;
    {
        std::lock_guard lock(mRoadLock);
        heardAt = mRoad.now();
    }
    // Journaled before anything else happens to it.
    if (mJournal)
        mJournal->write(radioPort, line, heardAt);
    std::shared_ptr<const ReceivedBeacon> beacon;
    {
        std::lock_guard lock(mRoadLock);
        beacon = mRoad.take(line, radioPort, heardAt);
    }
    if (beacon)
        emit NotifyBeaconData(beacon);
}

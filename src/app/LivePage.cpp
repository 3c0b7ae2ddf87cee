#include "app/LivePage.h"

#include "app/Form1.h"
#include "db/DatabaseLink.h"
#include "db/DbLog.h"
#include "host/HostSettingsStore.h"
#include "host/LogCategories.h"
#include "linuxhost/HostSettings.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/feeds/LogReplaySource.h"
#include "linuxhost/feeds/SerialKissSource.h"
#include "linuxhost/feeds/TcpFeedSource.h"
#include "web/LiveMap.h"
#include "web/LiveRecorderTap.h"
#include "web/LiveSeed.h"
#include "web/LiveServer.h"
#include "web/LiveStatus.h"

namespace {

QString feedState(const PacketSource *source)
{
    if (const auto *tcp = qobject_cast<const TcpFeedSource *>(source))
        return tcp->isLinkUp() ? QStringLiteral("connected")
            : tcp->isRunning() ? QStringLiteral("connecting")
                               : QStringLiteral("stopped");
    if (const auto *serial = qobject_cast<const SerialKissSource *>(source))
        return serial->isOpen() ? QStringLiteral("open") : QStringLiteral("closed");
    if (const auto *log = qobject_cast<const LogReplaySource *>(source))
        return log->atEnd()    ? QStringLiteral("at its end")
            : log->isRunning() ? QStringLiteral("replaying")
                               : QStringLiteral("stopped");
    return QStringLiteral("running");
}

}  // namespace

std::optional<LivePage::Options> LivePage::fromHostSettings()
{
    const auto store = HostSettingsStore::open();
    const HostSettings settings = HostSettings::read(*store);
    if (!settings.webEnabled())
        return std::nullopt;
    Options options;
    options.address = QHostAddress(settings.webHost);
    options.port = settings.webPort;
    options.utc = settings.timeZone == HostSettings::TimeZone::Utc;
    return options;
}

LivePage::LivePage(Form1 &window) : mWindow(window)
{ }

LivePage::~LivePage()
{
    mWindow.liveTap().setMap(nullptr);
}

quint16 LivePage::port() const
{
    return mServer ? mServer->port() : 0;
}

void LivePage::countPackets(PacketSource *source, int index)
{
    QObject::connect(source, &PacketSource::packetReceived, source, [this, index] { ++mPackets[index]; });
}

bool LivePage::start(const Options &options)
{
    const bool utc = options.utc;
    mMap = std::make_unique<LiveMap>(LiveMap::wallClock(utc));
    mServer = std::make_unique<LiveServer>(
        mWindow.liveStatus(), *mMap, utc ? QStringLiteral("UTC") : QStringLiteral("local time"));
    if (!mServer->listen(options.address, options.port)) {
        qCWarning(lcHost).noquote() << QStringLiteral("the live page cannot listen on %1:%2 (%3); it is off")
                                           .arg(options.address.toString())
                                           .arg(options.port)
                                           .arg(mServer->errorString());
        mServer.reset();
        return false;
    }

    if (const auto *host = qobject_cast<const LinuxHost *>(mWindow.host())) {
        for (size_t i = 0; i < host->sources().size(); ++i) {
            mPackets << 0;
            countPackets(host->sources().at(i).get(), int(i));
        }
        mWindow.liveStatus().setFeeds([this, host] {
            QList<LiveFeed> feeds;
            for (size_t i = 0; i < host->sources().size(); ++i) {
                const PacketSource *source = host->sources().at(i).get();
                LiveFeed feed;
                feed.key = i == 0 ? QStringLiteral("Feed") : QStringLiteral("Feed %1").arg(i + 1);
                feed.source = source->describe();
                feed.state = feedState(source);
                feed.packets = qsizetype(i) < mPackets.size() ? mPackets.at(qsizetype(i)) : 0;
                feeds << feed;
            }
            return feeds;
        });
    }

    // Rows stored from now on come from the recorder; those before, from one
    // read on a thread of its own (LiveSeed says why).
    mWindow.liveTap().setMap(mMap.get());
    mSeed = std::make_unique<LiveSeed>();
    mSeed->start(
        DatabaseLink::driverConnectString(mWindow.database(), mWindow.username(), mWindow.password(), mWindow.dsn()),
        mMap->window(), [this](const ReportData &data, const QString &failure) {
            if (!failure.isEmpty()) {
                qCWarning(lcDb).noquote() << QStringLiteral(
                    "the live page could not read the last %1 hours; it shows what is stored from now on: %2")
                                                 .arg(LiveMap::WindowHours)
                                                 .arg(failure);
                return;
            }
            mMap->seed(data);
        });
    qCInfo(lcHost).noquote()
        << QStringLiteral("live page on http://%1:%2/").arg(options.address.toString()).arg(mServer->port());
    return true;
}

#include "linuxhost/HostFactory.h"

#include "linuxhost/HostSettings.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/SilentHost.h"

#include "host/HostSettingsStore.h"
#include "host/LogCategories.h"

// The Linux host, fed as the host's settings store says. Settings that cannot
// be used are reported once, and the bridge then attaches to a host that stays
// silent: the program still starts, and shows nothing until they are put right.
std::unique_ptr<HostApplication> createHostApplication(const QString &programFolder)
{
    const auto store = HostSettingsStore::open();
    const HostSettings settings = HostSettings::read(*store);
    for (const QString &problem : settings.allProblems())
        qCWarning(lcHost).noquote() << QStringLiteral("Settings: ") + problem;
    if (!settings.isUsable()) {
        qCWarning(lcHost).noquote() << QStringLiteral(
            "Settings: %1 holds a value that cannot be used; no beacons until it is "
            "put right")
                                           .arg(store->fileName());
        return std::make_unique<SilentHost>();
    }
    // A feed that cannot be used is left out; the others run.
    for (const FeedSettings &feed : settings.feeds) {
        if (!feed.isUsable())
            qCWarning(lcHost).noquote()
                << QStringLiteral("Settings: %1 is left out; the other feeds run").arg(feed.key());
    }
    auto host = std::make_unique<LinuxHost>(settings);
    if (!programFolder.isEmpty() && settings.journalDays > 0)
        host->setJournal(new PacketJournal(programFolder + QStringLiteral("/log"), settings.journalDays));
    host->attachFeeds(settings);
    host->watchTerminationSignals();
    const QList<FeedSettings> feeds = settings.usableFeeds();
    for (qsizetype i = 0; i < feeds.size(); ++i)
        qCInfo(lcFeed).noquote() << feeds.at(i).key() + QLatin1Char(' ') + host->sources().at(size_t(i))->describe();
    host->start();
    return host;
}

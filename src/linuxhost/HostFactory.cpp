#include "linuxhost/HostFactory.h"

#include "linuxhost/HostSettings.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/SilentHost.h"

#include "host/HostConfigFile.h"
#include "host/HostSettingsStore.h"
#include "host/LogCategories.h"

// The Linux host, fed as the host's settings store says. Settings that cannot
// be used are reported once, and the bridge then attaches to a host that stays
// silent: the program still starts, and shows nothing until they are put right.
std::unique_ptr<HostApplication> createHostApplication(
    const QString &programFolder, std::optional<Qt::TimeSpec> timeZone)
{
    const auto store = HostSettingsStore::open();
    HostSettings settings = HostSettings::read(*store);
    if (timeZone)
        settings.timeZone = *timeZone == Qt::UTC ? HostSettings::TimeZone::Utc : HostSettings::TimeZone::Local;
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
    // Hearing and stamping never wait for a statement on the window's thread,
    // and neither does a stop.
    host->runOnOwnThread();
    host->attachFeeds(settings);
    const QList<FeedSettings> feeds = settings.usableFeeds();
    for (qsizetype i = 0; i < feeds.size(); ++i)
        qCInfo(lcFeed).noquote() << feeds.at(i).key() + QLatin1Char(' ') + host->sources().at(size_t(i))->describe();
    host->watchTerminationSignals();
    host->start();
    return host;
}

QStringList hostConfigProblems(const QString &path)
{
    const HostConfigFile::Contents contents = HostConfigFile::read(path);
    if (!contents.problems.isEmpty())
        return contents.problems;
    // A file the administrator wrote for a service: a feed that cannot be
    // used stops the start too, rather than leaving a station half heard.
    const auto store = HostConfigFile::open(path);
    return HostSettings::read(*store).allProblems();
}

#include "linuxhost/HostFactory.h"

#include "linuxhost/HostSettings.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/SilentHost.h"

#include "host/HostSettingsStore.h"
#include "host/LogCategories.h"

// The Linux host, fed as the host's settings store says. Settings that cannot
// be used are reported once, and the bridge then attaches to a host that stays
// silent: the program still starts, and shows nothing until they are put right.
std::unique_ptr<HostApplication> createHostApplication()
{
    const auto store = HostSettingsStore::open();
    const HostSettings settings = HostSettings::read(*store);
    if (!settings.isUsable()) {
        for (const QString &problem : settings.problems)
            qCWarning(lcHost).noquote() << QStringLiteral("Settings: ") + problem;
        qCWarning(lcHost).noquote() << QStringLiteral("Settings: %1 holds a value that cannot be used; no beacons "
                                                      "until it is put right")
                                           .arg(store->fileName());
        return std::make_unique<SilentHost>();
    }
    auto host = std::make_unique<LinuxHost>(settings);
    host->attachSource(LinuxHost::makeSource(settings));
    host->watchTerminationSignals();
    qCInfo(lcFeed).noquote() << QStringLiteral("Feed ") + host->source()->describe();
    host->start();
    return host;
}

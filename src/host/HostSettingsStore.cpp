#include "host/HostSettingsStore.h"

#include "host/HostConfigFile.h"

namespace {

QString &chosenFile()
{
    static QString path;
    return path;
}

}  // namespace

void HostSettingsStore::useConfigFile(const QString &path)
{
    chosenFile() = path;
}

QString HostSettingsStore::configFile()
{
    return chosenFile();
}

std::unique_ptr<QSettings> HostSettingsStore::open()
{
    if (!chosenFile().isEmpty())
        return HostConfigFile::open(chosenFile());
    return std::make_unique<QSettings>(
        QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Peak Systems"), QStringLiteral("UI-View32"));
}

#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The host's settings store. By default the per-user one: organization
// "Peak Systems", application "UI-View32"
// ($XDG_CONFIG_HOME/Peak Systems/UI-View32.conf). It holds the host's
// "Program Folder" and the Linux host's feed settings. A program started with
// --config FILE reads that file instead (see HostConfigFile), chosen once at
// start-up, before any store is opened.
namespace HostSettingsStore {
void useConfigFile(const QString &path);
// The file chosen with useConfigFile(); empty for the per-user store.
QString configFile();
std::unique_ptr<QSettings> open();
}  // namespace HostSettingsStore

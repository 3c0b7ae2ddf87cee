#pragma once

#include <QSettings>
#include <memory>

// The host's per-user settings store: organization "Peak Systems",
// application "UI-View32" ($XDG_CONFIG_HOME/Peak Systems/UI-View32.conf).
// It holds the host's "Program Folder" and the Linux host's feed settings.
namespace HostSettingsStore {
inline std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(
        QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Peak Systems"), QStringLiteral("UI-View32"));
}
}  // namespace HostSettingsStore

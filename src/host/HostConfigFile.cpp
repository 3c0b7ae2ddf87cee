#include "host/HostConfigFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool readStore(QIODevice &device, QSettings::SettingsMap &map)
{
    const HostConfigFile::Contents contents = HostConfigFile::parse(device.readAll());
    for (auto it = contents.values.cbegin(); it != contents.values.cend(); ++it)
        map.insert(it.key(), it.value());
    return true;
}

bool refuseWriting(QIODevice &, const QSettings::SettingsMap &)
{
    return false;
}

QSettings::Format storeFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), readStore, refuseWriting, Qt::CaseSensitive);
    return format;
}

}  // namespace

const QStringList &HostConfigFile::keys()
{
    static const QStringList known = {QStringLiteral("Feed"), QStringLiteral("Callsign"), QStringLiteral("Passcode"),
        QStringLiteral("Filter"), QStringLiteral("Latitude"), QStringLiteral("Longitude"), QStringLiteral("Exclusions"),
        QStringLiteral("Replay Rate"), QStringLiteral("Time Zone"), QStringLiteral("Journal Days"),
        QStringLiteral("Web")};
    return known;
}

bool HostConfigFile::isKnownKey(const QString &key)
{
    return keys().contains(key) || key.startsWith(QLatin1String("Feed"), Qt::CaseInsensitive);
}

HostConfigFile::Contents HostConfigFile::parse(const QByteArray &text)
{
    Contents contents;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const QString where = QStringLiteral("line %1: ").arg(i + 1);
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            contents.problems << where + QStringLiteral("\"%1\" is no \"Key = value\" line").arg(line);
            continue;
        }
        // Inner runs of blanks count as one space, as a reader sees them.
        const QString key = line.left(equals).simplified();
        const QString value = line.mid(equals + 1).trimmed();
        if (key.isEmpty()) {
            contents.problems << where + QStringLiteral("\"%1\" has no key before the \"=\"").arg(line);
        } else if (!isKnownKey(key)) {
            contents.problems << where
                    + QStringLiteral("\"%1\" is no setting; the settings are %2, Feed 2 ... Feed 99")
                          .arg(key, keys().join(QStringLiteral(", ")));
        } else if (contents.values.contains(key)) {
            contents.problems << where + QStringLiteral("%1 is set a second time").arg(key);
        } else {
            contents.values.insert(key, value);
        }
    }
    return contents;
}

HostConfigFile::Contents HostConfigFile::read(const QString &path)
{
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        Contents contents;
        contents.problems << QStringLiteral("is a folder, not a settings file");
        return contents;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        Contents contents;
        contents.problems << QStringLiteral("cannot be read (%1)").arg(file.errorString());
        return contents;
    }
    return parse(file.readAll());
}

std::unique_ptr<QSettings> HostConfigFile::open(const QString &path)
{
    return std::make_unique<QSettings>(path, storeFormat());
}

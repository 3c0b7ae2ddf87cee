#include "linuxhost/HostSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// An INI store reads an unquoted value with commas as a list
// (Exclusions=N0CALL,TEST*); join it back.
QString textValue(QSettings &store, const QString &key)
{
    const QVariant value = store.value(key);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).trimmed();
    return value.toString().trimmed();
}

// HOST:PORT, or [IPV6]:PORT.
bool splitHostPort(const QString &address, QString &host, QString &portText)
{
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return false;
    host = address.left(colon);
    portText = address.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return true;
}

}  // namespace

HostSettings HostSettings::read(QSettings &store)
{
    HostSettings settings;
    const QString feed = textValue(store, QStringLiteral("Feed"));
    settings.readFeed(feed.isEmpty() ? settings.feed : feed);
    if (settings.feedKind == FeedKind::AprsIs)
        settings.readLogin(store);
    if (settings.feedKind == FeedKind::Log)
        settings.readReplayRate(store);
    settings.readStation(store);
    settings.readTimeZone(store);
    settings.exclusions = CallsignPatternList::fromText(textValue(store, QStringLiteral("Exclusions")));
    return settings;
}

void HostSettings::readFeed(const QString &text)
{
    feed = text;
    const QString usage = QStringLiteral("use kiss://HOST:PORT, aprs-is://HOST:PORT or file:PATH");
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        feedKind = FeedKind::Log;
        logPath = text.mid(5);
        if (logPath.startsWith(QLatin1String("//")))
            logPath = logPath.mid(2);
        if (logPath.isEmpty()) {
            problems << QStringLiteral("Feed \"%1\" names no file; %2").arg(text, usage);
            return;
        }
        QFile file(logPath);
        if (QFileInfo(logPath).isDir()) {
            problems << QStringLiteral("Feed \"%1\": %2 is a folder, not a log file").arg(text, logPath);
        } else if (!file.open(QIODevice::ReadOnly)) {
            problems << QStringLiteral("Feed \"%1\": the log file %2 cannot be read (%3)")
                            .arg(text, logPath, file.errorString());
        }
        return;
    }

    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    const QString scheme = schemeEnd < 0 ? QString() : text.left(schemeEnd).toLower();
    if (scheme == QLatin1String("kiss")) {
        feedKind = FeedKind::Kiss;
    } else if (scheme == QLatin1String("aprs-is")) {
        feedKind = FeedKind::AprsIs;
    } else {
        if (schemeEnd < 0)
            problems << QStringLiteral("Feed \"%1\" has no scheme; %2").arg(text, usage);
        else
            problems << QStringLiteral("Feed \"%1\" has an unknown scheme \"%2\"; %3")
                            .arg(text, text.left(schemeEnd), usage);
        return;
    }

    QString host;
    QString portText;
    if (!splitHostPort(text.mid(schemeEnd + 3), host, portText) || host.isEmpty()) {
        problems << QStringLiteral("Feed \"%1\" needs a host and a port, as in %2://127.0.0.1:%3")
                        .arg(text, scheme, scheme == QLatin1String("kiss") ? QStringLiteral("8001")
                                                                            : QStringLiteral("14580"));
        return;
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        problems << QStringLiteral("Feed \"%1\" has a bad port \"%2\"; a port is a number from 1 to 65535")
                        .arg(text, portText);
        return;
    }
    feedHost = host;
    feedPort = quint16(port);
}

void HostSettings::readLogin(QSettings &store)
{
    static const QRegularExpression callsignForm(QStringLiteral("^[A-Za-z0-9]{1,7}(-[A-Za-z0-9]{1,2})?$"));
    callsign = textValue(store, QStringLiteral("Callsign")).toUpper();
    if (callsign.isEmpty())
        problems << QStringLiteral("Callsign is empty; an APRS-IS feed needs one to log in");
    else if (!callsignForm.match(callsign).hasMatch())
        problems << QStringLiteral("Callsign \"%1\" is not a callsign (letters and digits, then -SSID if any)")
                        .arg(callsign);

    const QString passcodeText = textValue(store, QStringLiteral("Passcode"));
    if (!passcodeText.isEmpty()) {
        bool ok = false;
        const int value = passcodeText.toInt(&ok);
        if (!ok || value < -1 || value > 32767)
            problems << QStringLiteral("Passcode \"%1\" is not a passcode; use a number from 0 to 32767, "
                                       "or -1 to receive only")
                            .arg(passcodeText);
        else
            passcode = QString::number(value);
    }

    filter = textValue(store, QStringLiteral("Filter"));
    for (const QChar c : std::as_const(filter)) {
        if (c.category() == QChar::Other_Control) {
            problems << QStringLiteral("Filter holds a control character; it must be one line of text");
            break;
        }
    }
}

void HostSettings::readStation(QSettings &store)
{
    const QString latText = textValue(store, QStringLiteral("Latitude"));
    const QString lonText = textValue(store, QStringLiteral("Longitude"));
    if (latText.isEmpty() && lonText.isEmpty())
        return;
    if (latText.isEmpty() || lonText.isEmpty()) {
        problems << QStringLiteral("Latitude and Longitude go together; %1 is missing")
                        .arg(latText.isEmpty() ? QStringLiteral("Latitude") : QStringLiteral("Longitude"));
        return;
    }
    bool latOk = false;
    bool lonOk = false;
    const double lat = latText.toDouble(&latOk);
    const double lon = lonText.toDouble(&lonOk);
    if (!latOk || lat < -90 || lat > 90)
        problems << QStringLiteral("Latitude \"%1\" is not a latitude; use decimal degrees from -90 to 90, "
                                   "north positive")
                        .arg(latText);
    if (!lonOk || lon < -180 || lon > 180)
        problems << QStringLiteral("Longitude \"%1\" is not a longitude; use decimal degrees from -180 to 180, "
                                   "east positive")
                        .arg(lonText);
    if (latOk && lonOk && lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180) {
        latitudeDeg = lat;
        longitudeDeg = lon;
    }
}

void HostSettings::readReplayRate(QSettings &store)
{
    const QString text = textValue(store, QStringLiteral("Replay Rate"));
    if (text.isEmpty())
        return;
    bool ok = false;
    const double rate = text.toDouble(&ok);
    if (!ok || !(rate > 0) || rate > MaxReplayRate) {
        problems << QStringLiteral("Replay Rate \"%1\" is not a rate; use packets per second, above 0 and "
                                   "at most %2")
                        .arg(text)
                        .arg(MaxReplayRate, 0, 'f', 0);
        return;
    }
    replayRate = rate;
}

void HostSettings::readTimeZone(QSettings &store)
{
    const QString text = textValue(store, QStringLiteral("Time Zone"));
    if (text.isEmpty() || text.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0)
        timeZone = TimeZone::Local;
    else if (text.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0)
        timeZone = TimeZone::Utc;
    else
        problems << QStringLiteral("Time Zone \"%1\" is not a time zone; use local or UTC").arg(text);
}

#include "linuxhost/HostSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMap>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// HOST:PORT, or [IPV6]:PORT; false when there is no port.
bool splitHostPort(const QString &address, QString &host, QString &portText)
{
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    const bool hasPort = colon >= 0 && !(address.startsWith(QLatin1Char('[')) && address.endsWith(QLatin1Char(']')));
    host = hasPort ? address.left(colon) : address;
    portText = hasPort ? address.mid(colon + 1) : QString();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return hasPort;
}

// Why a log cannot be read, or empty. A named pipe is not opened here: that
// would wait for its writer and take its first reader's place.
QString unreadableBecause(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a log file").arg(path);
    struct stat status = {};
    const QByteArray encoded = QFile::encodeName(path);
    if (stat(encoded.constData(), &status) == 0 && S_ISFIFO(status.st_mode)) {
        if (access(encoded.constData(), R_OK) == 0)
            return {};
        return QStringLiteral("the pipe %1 cannot be read (%2)")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the log file %1 cannot be read (%2)").arg(path, file.errorString());
    return {};
}

}  // namespace

HostSettings HostSettings::read(QSettings &store)
{
    HostSettings settings;
    settings.readFeeds(store);
    bool aprsIs = false;
    bool log = false;
    for (const FeedSettings &feed : std::as_const(settings.feeds)) {
        aprsIs = aprsIs || feed.kind == FeedSettings::Kind::AprsIs;
        log = log || feed.kind == FeedSettings::Kind::Log;
    }
    // A login or rate that cannot be used leaves out the feeds that need it.
    const QStringList loginProblems = aprsIs ? settings.readLogin(store) : QStringList();
    const QStringList rateProblems = log ? settings.readReplayRate(store) : QStringList();
    for (FeedSettings &feed : settings.feeds) {
        if (feed.kind == FeedSettings::Kind::AprsIs)
            feed.problems << loginProblems;
        if (feed.kind == FeedSettings::Kind::Log)
            feed.problems << rateProblems;
    }
    settings.readStation(store, settings.problems);
    settings.readWeb(store);
    settings.readJournalDays(store);
    return settings;
}

bool HostSettings::isUsable() const
{
    return problems.isEmpty() && !usableFeeds().isEmpty();
}

QList<FeedSettings> HostSettings::usableFeeds() const
{
    QList<FeedSettings> usable;
    for (const FeedSettings &feed : feeds) {
        if (feed.isUsable())
            usable << feed;
    }
    return usable;
}

QStringList HostSettings::allProblems() const
{
    QStringList all;
    for (const FeedSettings &feed : feeds)
        all << feed.problems;
    all << feedKeyProblems << problems << webProblems;
    all.removeDuplicates();
    return all;
}

// "Feed", "Feed 2" ... "Feed 99", in that order. Qt writes a blank in a key
// as %20 and reads it back as a blank.
void HostSettings::readFeeds(QSettings &store)
{
    static const QRegularExpression feedKey(QStringLiteral("^Feed(?: ([2-9]|[1-9][0-9]))?$"));
    static const QRegularExpression lookalike(QStringLiteral("^feed"), QRegularExpression::CaseInsensitiveOption);
    QMap<int, QString> values;
    for (const QString &key : store.childKeys()) {
        const QRegularExpressionMatch match = feedKey.match(key);
        if (!match.hasMatch()) {
            if (lookalike.match(key).hasMatch())
                feedKeyProblems << QStringLiteral("\"%1\" is no feed key and is left out; the feeds are Feed, "
                                                  "Feed 2, Feed 3 ... Feed %2")
                                       .arg(key)
                                       .arg(FeedSettings::MaxNumber);
            continue;
        }
        const QString value = textValue(store, key);
        if (!value.isEmpty())
            values.insert(match.captured(1).isEmpty() ? 1 : match.captured(1).toInt(), value);
    }
    if (values.isEmpty())
        return;  // the default feed
    feeds.clear();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        feeds << readFeed(it.key(), it.value());
}

FeedSettings HostSettings::readFeed(int number, const QString &text)
{
    FeedSettings feed;
    feed.number = number;
    feed.text = text;
    QStringList &problems = feed.problems;
    const QString named = QStringLiteral("%1 \"%2\"").arg(feed.key(), text);
    const QString usage = QStringLiteral("use kiss://HOST:PORT, agw://HOST:PORT, aprs-is://HOST:PORT, "
                                         "serial:DEVICE@BAUD or file:PATH");

    // file:PATH and serial:DEVICE, with or without "//" after the colon.
    const auto pathAfter = [&text](qsizetype prefix) {
        QString path = text.mid(prefix);
        if (path.startsWith(QLatin1String("//")))
            path = path.mid(2);
        return path;
    };
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        feed.kind = FeedSettings::Kind::Log;
        feed.path = pathAfter(5);
        if (feed.path.isEmpty()) {
            problems << QStringLiteral("%1 names no file; %2").arg(named, usage);
            return feed;
        }
        const QString why = unreadableBecause(feed.path);
        if (!why.isEmpty())
            problems << QStringLiteral("%1: %2").arg(named, why);
        return feed;
    }
    if (text.startsWith(QLatin1String("serial:"), Qt::CaseInsensitive)) {
        feed.kind = FeedSettings::Kind::Serial;
        feed.path = pathAfter(7);
        const qsizetype at = feed.path.lastIndexOf(QLatin1Char('@'));
        if (at >= 0) {
            const QString rateText = feed.path.mid(at + 1);
            feed.path.truncate(at);
            bool ok = false;
            const int rate = rateText.toInt(&ok);
            if (!ok || rate < MinBaudRate || rate > MaxBaudRate) {
                problems << QStringLiteral("%1 has a bad baud rate \"%2\"; use bits per second from %3 to %4, "
                                           "such as 1200, 9600 or 115200")
                                .arg(named, rateText)
                                .arg(MinBaudRate)
                                .arg(MaxBaudRate);
                return feed;
            }
            feed.baudRate = rate;
        }
        // Whether the device is there now does not matter: a USB TNC may be
        // plugged in later, and the feed waits for it.
        if (feed.path.isEmpty())
            problems << QStringLiteral("%1 names no device; %2").arg(named, usage);
        return feed;
    }

    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    const QString scheme = schemeEnd < 0 ? QString() : text.left(schemeEnd).toLower();
    std::optional<quint16> defaultPort;
    if (scheme == QLatin1String("kiss")) {
        feed.kind = FeedSettings::Kind::Kiss;
    } else if (scheme == QLatin1String("agw")) {
        feed.kind = FeedSettings::Kind::Agw;
        defaultPort = AgwSource::DefaultPort;
    } else if (scheme == QLatin1String("aprs-is")) {
        feed.kind = FeedSettings::Kind::AprsIs;
    } else {
        if (schemeEnd < 0)
            problems << QStringLiteral("%1 has no scheme; %2").arg(named, usage);
        else
            problems << QStringLiteral("%1 has an unknown scheme \"%2\"; %3").arg(named, text.left(schemeEnd), usage);
        return feed;
    }

    QString host;
    QString portText;
    const bool hasPort = splitHostPort(text.mid(schemeEnd + 3), host, portText);
    if (host.isEmpty() || (!hasPort && !defaultPort)) {
        quint16 examplePort = defaultPort.value_or(KissTcpSource::DefaultPort);
        if (feed.kind == FeedSettings::Kind::AprsIs)
            examplePort = 14580;
        problems << QStringLiteral("%1 needs a host and a port, as in %2://127.0.0.1:%3")
                        .arg(named, scheme)
                        .arg(examplePort);
        return feed;
    }
    feed.host = host;
    if (!hasPort) {
        feed.port = *defaultPort;
        return feed;
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        problems << QStringLiteral("%1 has a bad port \"%2\"; a port is a number from 1 to 65535").arg(named, portText);
        return feed;
    }
    feed.port = quint16(port);
    return feed;
}

QStringList HostSettings::readLogin(QSettings &store)
{
    QStringList problems;
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
    return problems;
}

QStringList HostSettings::readReplayRate(QSettings &store)
{
    const QString text = textValue(store, QStringLiteral("Replay Rate"));
    if (text.isEmpty())
        return {};
    bool ok = false;
    const double rate = text.toDouble(&ok);
    if (!ok || !(rate > 0) || rate > MaxReplayRate) {
        return {QStringLiteral("Replay Rate \"%1\" is not a rate; use packets per second, above 0 and at most %2")
                    .arg(text)
                    .arg(MaxReplayRate, 0, 'f', 0)};
    }
    replayRate = rate;
    return {};
}

void HostSettings::readWeb(QSettings &store)
{
    const QString key = QStringLiteral("Web");
    if (!store.contains(key))
        return;  // the default address
    const QString text = textValue(store, key);
    webHost.clear();
    if (text.isEmpty())
        return;  // turned off
    QString host;
    QString portText;
    bool portOk = false;
    const int port = splitHostPort(text, host, portText) ? portText.toInt(&portOk) : 0;
    const bool hostOk =
        host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || !QHostAddress(host).isNull();
    if (!hostOk || !portOk || port < 1 || port > 65535) {
        webProblems << QStringLiteral("Web \"%1\" is not an address to listen on; use HOST:PORT with an IP address "
                                      "(127.0.0.1:8073), or an empty value for no live page; the live page is off")
                           .arg(text);
        return;
    }
    webHost = host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ? QStringLiteral("127.0.0.1") : host;
    webPort = quint16(port);
}

void HostSettings::readJournalDays(QSettings &store)
{
    const QString text = textValue(store, QStringLiteral("Journal Days"));
    if (text.isEmpty())
        return;
    bool ok = false;
    const int days = text.toInt(&ok);
    if (!ok || days < 0 || days > MaxJournalDays) {
        problems << QStringLiteral("Journal Days \"%1\" is not a number of days; use 0 (no journal) to %2")
                        .arg(text)
                        .arg(MaxJournalDays);
        return;
    }
    journalDays = days;
}

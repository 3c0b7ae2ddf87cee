#pragma once

#include "linuxhost/CallsignPatternList.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

// The Linux host's own settings, read from the host's settings store (the one
// that also holds "Program Folder"):
//   Feed         kiss://HOST:PORT, aprs-is://HOST:PORT or file:PATH
//   Callsign, Passcode, Filter   the APRS-IS login
//   Latitude, Longitude          our station in decimal degrees, for distances
//   Exclusions   callsign patterns, see CallsignPatternList
//   Replay Rate  packets per second for a file feed
//   Time Zone    local (the default) or UTC: the zone of every time a beacon
//                carries, and so of the rows the bridge writes
// Every value that cannot be used is described in problems, in words.
class HostSettings
{
public:
    enum class FeedKind { Kiss, AprsIs, Log };
    enum class TimeZone { Local, Utc };

    static constexpr double DefaultReplayRate = 20;
    static constexpr double MaxReplayRate = 100000;

    FeedKind feedKind = FeedKind::Kiss;
    QString feed = QStringLiteral("kiss://127.0.0.1:8001");
    QString feedHost = QStringLiteral("127.0.0.1");
    quint16 feedPort = 8001;
    QString logPath;

    QString callsign;
    QString passcode = QStringLiteral("-1");  // receive only
    QString filter;

    std::optional<double> latitudeDeg;
    std::optional<double> longitudeDeg;
    CallsignPatternList exclusions;
    double replayRate = DefaultReplayRate;
    TimeZone timeZone = TimeZone::Local;

    QStringList problems;
    bool isUsable() const { return problems.isEmpty(); }

    static HostSettings read(QSettings &store);

private:
    void readFeed(const QString &text);
    void readLogin(QSettings &store);
    void readStation(QSettings &store);
    void readReplayRate(QSettings &store);
    void readTimeZone(QSettings &store);
};

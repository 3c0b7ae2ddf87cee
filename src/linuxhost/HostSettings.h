#pragma once

#include "linuxhost/FeedSettings.h"
#include "linuxhost/feeds/LogReplaySource.h"
#include "road/StationSettings.h"

#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

// The Linux host's own settings, read from the host's settings store (the one
// that also holds "Program Folder"):
//   Feed, Feed 2, Feed 3 ...     the sources, see FeedSettings
//   Callsign, Passcode, Filter   the APRS-IS login
//   Replay Rate  packets per second for a file feed
//   Journal Days days the packet journal keeps, 0 for none
// and the station's own, see StationSettings: Latitude, Longitude, Exclusions,
// Time Zone.
//   Web          HOST:PORT the live page listens on (an IP address, or
//                localhost); 127.0.0.1:8073 when the key is absent, and an
//                empty value turns the page off. A value that cannot be used
//                is described in webProblems and leaves the page off: it
//                stops nothing else.
// Without any feed key the one feed is FeedSettings' default. A feed whose
// value cannot be used is described in its own problems and left out; any
// other value that cannot be used is described in problems.
class HostSettings : public StationSettings
{
public:
    static constexpr double MaxReplayRate = 100000;
    static constexpr int MinBaudRate = 50;
    static constexpr int MaxBaudRate = 4000000;

    QList<FeedSettings> feeds {FeedSettings()};
    // Keys that look like feed keys but are none ("Feed 1", "Feed2").
    QStringList feedKeyProblems;

    QString callsign;
    QString passcode = QStringLiteral("-1");  // receive only
    QString filter;

    double replayRate = LogReplaySource::DefaultRatePerSecond;

    static constexpr quint16 DefaultWebPort = 8073;
    // Empty: the live page is off.
    QString webHost = QStringLiteral("127.0.0.1");
    quint16 webPort = DefaultWebPort;
    QStringList webProblems;
    bool webEnabled() const { return !webHost.isEmpty(); }
    static constexpr int DefaultJournalDays = 30;
    static constexpr int MaxJournalDays = 3660;
    int journalDays = DefaultJournalDays;

    QStringList problems;
    // True when nothing but feeds is wrong and at least one feed can run.
    bool isUsable() const;
    QList<FeedSettings> usableFeeds() const;
    // Every problem once: the feeds' in feed order, then the rest (the live
    // page's last).
    QStringList allProblems() const;

    static HostSettings read(QSettings &store);
    static FeedSettings readFeed(int number, const QString &text);

private:
    void readFeeds(QSettings &store);
    QStringList readLogin(QSettings &store);
    QStringList readReplayRate(QSettings &store);
    void readWeb(QSettings &store);
    void readJournalDays(QSettings &store);
};

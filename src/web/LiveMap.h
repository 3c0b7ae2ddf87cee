#pragma once

#include "report/ReportData.h"
#include "web/LiveBeacon.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>

// The stations of the last hours as the live page's map shows them, kept in
// memory as the recorder stores their rows. The page never makes the window's
// thread wait on the database: what it shows comes from here, seeded once at
// start by a read on a thread of its own (LiveSeed). Every change bumps a
// version, so a page asks only for what changed since the version it holds.
class LiveMap
{
public:
    static constexpr int WindowHours = 6;
    static constexpr int MaxTrackPoints = 500;
    // Stations that left the window are remembered this long for pages that
    // ask what went; a page further behind gets everything again.
    static constexpr int MaxGone = 5000;

    // nowSeconds: the current time in the stored rows' time base (dtstampSeconds).
    explicit LiveMap(std::function<qint64()> nowSeconds);
    // The clock of now in the rows' time base: UTC, or the local wall clock.
    static std::function<qint64()> wallClock(bool utc);

    void add(const LiveBeacon &beacon);
    // The rows stored before the start. Beacons stored since are kept: a
    // station in both keeps its newest values and the positions of both.
    void seed(const ReportData &data);

    qint64 version() const { return mVersion; }
    qsizetype stationCount() const { return mStations.size(); }
    bool contains(const QString &callsign) const { return mStations.contains(callsign); }
    // The window's start: rows before it are not shown.
    qint64 windowStart() const { return mNowSeconds() - qint64(WindowHours) * 3600; }
    // The same, as the report's reader takes it.
    ReportPeriod window() const;

    // {"version":N,"reset":bool,"rows":N,"gone":[...],"stations":[...]}:
    // the stations changed after the version given, in the report's own form.
    QByteArray changesJson(qint64 after);

private:
    struct Entry {
        StationSummary station;
        qint64 version = 0;
    };
    void prune();
    void bump(Entry &entry);

    std::function<qint64()> mNowSeconds;
    QHash<QString, Entry> mStations;
    QList<std::pair<qint64, QString>> mGone;  // (version, callsign), oldest first
    qint64 mGoneFloor = 0;                    // versions up to it may have lost their gone entries
    qint64 mVersion = 0;
    qint64 mRows = 0;
};

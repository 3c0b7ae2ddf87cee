#include "web/LiveMap.h"

#include "report/DtstampText.h"
#include "report/ReportPage.h"

#include <QDateTime>

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

void trimTrack(QList<TrackPoint> &track, qint64 start)
{
    qsizetype old = 0;
    while (old < track.size() && track.at(old).seconds < start)
        ++old;
    old = std::max(old, track.size() - LiveMap::MaxTrackPoints);
    if (old > 0)
        track.remove(0, old);
}

bool samePoint(const TrackPoint &a, const TrackPoint &b)
{
    return a.seconds == b.seconds && qFuzzyCompare(1.0 + a.latitudeDeg, 1.0 + b.latitudeDeg)
        && qFuzzyCompare(1.0 + a.longitudeDeg, 1.0 + b.longitudeDeg);
}

}  // namespace

LiveMap::LiveMap(std::function<qint64()> nowSeconds) : mNowSeconds(std::move(nowSeconds))
{ }

std::function<qint64()> LiveMap::wallClock(bool utc)
{
    return [utc] { return dtstampSeconds(utc ? QDateTime::currentDateTimeUtc() : QDateTime::currentDateTime()); };
}

ReportPeriod LiveMap::window() const
{
    const qint64 start = windowStart();
    return ReportPeriod::parse(dtstampText(start), QString(), start);
}

void LiveMap::bump(Entry &entry)
{
    entry.version = ++mVersion;
}

void LiveMap::add(const LiveBeacon &beacon)
{
    ++mRows;
    const bool known = mStations.contains(beacon.callsign);
    Entry &entry = mStations[beacon.callsign];
    StationSummary &s = entry.station;
    if (!known) {
        s.callsign = beacon.callsign;
        s.firstHeard = beacon.seconds;
        s.lastHeard = beacon.seconds;
    }
    ++s.beacons;
    s.firstHeard = std::min(s.firstHeard, beacon.seconds);
    if (beacon.seconds >= s.lastHeard || !known) {
        s.lastHeard = beacon.seconds;
        s.kind = beacon.kind;
        s.latitudeDeg = beacon.latitudeDeg;
        s.longitudeDeg = beacon.longitudeDeg;
        s.symbol = beacon.symbol;
        s.objectOwner = beacon.objectOwner;
        s.heardDirect = beacon.heardDirect;
        s.radioPort = beacon.radioPort;
        s.distanceKm = beacon.distanceKm;
    }
    s.everMobile = s.everMobile || beacon.kind == 2;
    const TrackPoint point {beacon.seconds, beacon.latitudeDeg, beacon.longitudeDeg};
    auto at = std::upper_bound(s.track.begin(), s.track.end(), point.seconds,
        [](qint64 seconds, const TrackPoint &p) { return seconds < p.seconds; });
    s.track.insert(at, point);
    if (s.track.size() > MaxTrackPoints)
        s.track.removeFirst();
    if (beacon.kind == 2) {
        if (!s.mobileAt || *s.mobileAt <= beacon.seconds) {
            s.mobileAt = beacon.seconds;
            s.speedKmh = beacon.speedKmh;
            s.courseDeg = beacon.courseDeg;
            s.heightMetres = beacon.heightMetres;
            s.mobilePath = beacon.path;
        }
    } else if (beacon.kind == 0) {
        if (!s.fixedAt || *s.fixedAt <= beacon.seconds) {
            s.fixedAt = beacon.seconds;
            s.status = beacon.status;
            s.comment = beacon.comment;
            s.fixedPath = beacon.path;
        }
    }
    bump(entry);
}

void LiveMap::seed(const ReportData &data)
{
    mRows += data.stationRows;
    for (const StationSummary &seeded : data.stations) {
        auto it = mStations.find(seeded.callsign);
        if (it == mStations.end()) {
            Entry entry {seeded, 0};
            bump(entry);
            mStations.insert(seeded.callsign, entry);
            continue;
        }
        // Stored both before the start and since: the newer values win, the
        // positions of both make the track, a row read twice counts once.
        StationSummary &s = it->station;
        const StationSummary live = s;
        if (seeded.lastHeard > live.lastHeard)
            s = seeded;
        QList<TrackPoint> track = seeded.track;
        int twice = 0;
        for (const TrackPoint &point : live.track) {
            if (std::any_of(
                    seeded.track.begin(), seeded.track.end(), [&](const TrackPoint &p) { return samePoint(p, point); }))
                ++twice;
            else
                track << point;
        }
        std::stable_sort(
            track.begin(), track.end(), [](const TrackPoint &a, const TrackPoint &b) { return a.seconds < b.seconds; });
        s.track = track;
        s.beacons = seeded.beacons + live.beacons - twice;
        mRows -= twice;
        s.firstHeard = std::min(seeded.firstHeard, live.firstHeard);
        s.everMobile = seeded.everMobile || live.everMobile;
        if (live.fixedAt && (!seeded.fixedAt || *live.fixedAt >= *seeded.fixedAt)) {
            s.fixedAt = live.fixedAt;
            s.status = live.status;
            s.comment = live.comment;
            s.fixedPath = live.fixedPath;
        }
        if (live.mobileAt && (!seeded.mobileAt || *live.mobileAt >= *seeded.mobileAt)) {
            s.mobileAt = live.mobileAt;
            s.speedKmh = live.speedKmh;
            s.courseDeg = live.courseDeg;
            s.heightMetres = live.heightMetres;
            s.mobilePath = live.mobilePath;
        }
        bump(*it);
    }
}

void LiveMap::prune()
{
    const qint64 start = windowStart();
    for (auto it = mStations.begin(); it != mStations.end();) {
        if (it->station.lastHeard >= start) {
            trimTrack(it->station.track, start);
            ++it;
            continue;
        }
        mGone.append({++mVersion, it.key()});
        it = mStations.erase(it);
    }
    while (mGone.size() > MaxGone)
        mGoneFloor = mGone.takeFirst().first;
}

QByteArray LiveMap::changesJson(qint64 after)
{
    prune();
    // A page from before this run, or too far behind for the gone list,
    // starts again from nothing.
    const bool reset = after <= 0 || after > mVersion || after < mGoneFloor;
    ReportData changed;
    QList<const Entry *> entries;
    for (const Entry &entry : std::as_const(mStations)) {
        if (reset || entry.version > after)
            entries << &entry;
    }
    std::sort(entries.begin(), entries.end(),
        [](const Entry *a, const Entry *b) { return a->station.callsign < b->station.callsign; });
    for (const Entry *entry : entries)
        changed.stations << entry->station;
    QJsonArray goneList;
    if (!reset) {
        for (const auto &[version, callsign] : std::as_const(mGone)) {
            if (version > after && !mStations.contains(callsign))
                goneList.append(callsign);
        }
    }
    const QByteArray gone = QJsonDocument(goneList).toJson(QJsonDocument::Compact);
    QByteArray out = "{\"version\":" + QByteArray::number(mVersion) + ",\"reset\":" + (reset ? "true" : "false")
        + ",\"rows\":" + QByteArray::number(mRows) + ",\"gone\":" + gone + ",\"data\":" + ReportPage().dataJson(changed)
        + '}';
    return out;
}

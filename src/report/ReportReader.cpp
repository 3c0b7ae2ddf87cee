#include "report/ReportReader.h"

#include "db/OdbcConnection.h"
#include "db/OdbcRowBlock.h"
#include "report/DtstampText.h"
#include "report/TrackFilter.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace {

double number(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

}  // namespace

ReportReader::ReportReader(OdbcConnection &connection) : mConnection(connection)
{ }

ReportData ReportReader::read(const ReportPeriod &period)
{
    mIndex.clear();
    mStations.clear();
    ReportData data;
    data.period = period;
    readStations(data);
    readFixed(data);
    readMobile(data);
    readWeather(data);
    if (data.stationRows == 0 && (period.start() || period.end()))
        readTotals(data);
    std::sort(mStations.begin(), mStations.end(),
        [](const StationSummary &a, const StationSummary &b) { return a.callsign < b.callsign; });
    data.stations = std::move(mStations);
    mStations.clear();
    mIndex.clear();
    return data;
}

StationSummary *ReportReader::find(const QString &callsign)
{
    const auto found = mIndex.constFind(callsign);
    return found == mIndex.constEnd() ? nullptr : &mStations[*found];
}

void ReportReader::readStations(ReportData &data)
{
    const QString select =
        QStringLiteral("select callsign, dtstamp, type, lat, lon, symbol, object_owner, heard_direct, radio_port, "
                       "distance from stations")
        + data.period.whereClause(QStringLiteral("dtstamp"));
    // The one table with a row for every beacon: fetched in blocks, and a
    // value made a QString only where it is kept.
    // type, lat, lon, heard_direct, radio_port, distance as numbers.
    constexpr quint64 Numbers = 1u << 2 | 1u << 3 | 1u << 4 | 1u << 7 | 1u << 8 | 1u << 9;
    mConnection.forEachRowBlock(select, Numbers, [&](const OdbcRowBlock &rows) {
        for (qsizetype r = 0; r < rows.rows(); ++r) {
            ++data.stationRows;
            qint64 seconds = 0;
            const double latitudeDeg = rows.number(r, 3) / 60.0;
            const double longitudeDeg = rows.number(r, 4) / 60.0;
            if (!parseDtstamp(rows.text(r, 1), seconds) || std::fabs(latitudeDeg) > 90
                || std::fabs(longitudeDeg) > 180) {
                ++data.skippedRows;
                continue;
            }
            const QString callsign = rows.text(r, 0).toString();
            StationSummary *station = find(callsign);
            if (!station) {
                mIndex.insert(callsign, mStations.size());
                mStations.append(StationSummary());
                station = &mStations.last();
                station->callsign = callsign;
                station->firstHeard = seconds;
                station->lastHeard = seconds;
            }
            // A type the bridge never writes is drawn as fixed, as the host
            // files any station it cannot place.
            int kind = int(rows.number(r, 2));
            if (kind < 0 || kind > 2)
                kind = 0;
            ++station->beacons;
            station->firstHeard = std::min(station->firstHeard, seconds);
            station->everMobile = station->everMobile || kind == 2;
            // Only the places it moved to: a parked car's beacons are one
            // point (in the order read; sorted below).
            if (station->track.isEmpty() || station->track.last().latitudeDeg != latitudeDeg
                || station->track.last().longitudeDeg != longitudeDeg || station->track.last().seconds > seconds)
                station->track.append({seconds, latitudeDeg, longitudeDeg});
            // Two beacons in one second: the one read last stands.
            if (seconds >= station->lastHeard) {
                station->lastHeard = seconds;
                station->kind = kind;
                station->latitudeDeg = latitudeDeg;
                station->longitudeDeg = longitudeDeg;
                station->symbol = rows.text(r, 5).toString();
                station->objectOwner = rows.text(r, 6).toString();
                station->heardDirect = rows.number(r, 7) != 0;
                station->radioPort = int(rows.number(r, 8));
                station->distanceKm = rows.number(r, 9);
            }
        }
    });
    for (StationSummary &station : mStations) {
        std::stable_sort(station.track.begin(), station.track.end(),
            [](const TrackPoint &a, const TrackPoint &b) { return a.seconds < b.seconds; });
        QList<TrackPoint> moves;
        for (const TrackPoint &point : std::as_const(station.track)) {
            if (moves.isEmpty() || moves.last().latitudeDeg != point.latitudeDeg
                || moves.last().longitudeDeg != point.longitudeDeg)
                moves.append(point);
        }
        station.track = TrackFilter::plausible(moves);
        station.noFix = TrackFilter::isNoFix(station.latitudeDeg, station.longitudeDeg);
        station.jumped = !station.noFix
            && (station.track.isEmpty() || station.track.last().latitudeDeg != station.latitudeDeg
                || station.track.last().longitudeDeg != station.longitudeDeg);
    }
}

qint64 ReportReader::count(const QString &table, const QString &column, const ReportPeriod &period)
{
    const QList<QStringList> rows = mConnection.queryRows(
        QStringLiteral("select count(*) from ") + table + period.whereClause(column), QStringLiteral("0"));
    return rows.isEmpty() ? 0 : rows.first().value(0).toLongLong();
}

// Only each station's latest detail row is shown: the rest are counted, and
// the (callsign, time) index finds the latest without reading them.
QString ReportReader::latestRows(const QString &columns, const QString &table, const ReportPeriod &period)
{
    return QStringLiteral("select %1 from %2 d join (select fk_callsign as lc, max(fk_dtstamp) as lt from %2%3 "
                          "group by fk_callsign) l on d.fk_callsign = l.lc and d.fk_dtstamp = l.lt")
        .arg(columns, table, period.whereClause(QStringLiteral("fk_dtstamp")));
}

void ReportReader::readFixed(ReportData &data)
{
    data.fixedRows = count(QStringLiteral("fixed_data"), QStringLiteral("fk_dtstamp"), data.period);
    const QString select = latestRows(QStringLiteral("d.fk_callsign, d.fk_dtstamp, d.status, d.comment, d.path"),
        QStringLiteral("fixed_data"), data.period);
    mConnection.forEachRow(select, QString(), [&](const QStringList &row) {
        qint64 seconds = 0;
        StationSummary *station = find(row.at(0));
        if (!station || !parseDtstamp(row.at(1), seconds))
            return;
        if (station->fixedAt && seconds < *station->fixedAt)
            return;
        station->fixedAt = seconds;
        station->status = row.at(2);
        station->comment = row.at(3);
        station->fixedPath = row.at(4);
    });
}

void ReportReader::readMobile(ReportData &data)
{
    data.mobileRows = count(QStringLiteral("mobile_data"), QStringLiteral("fk_dtstamp"), data.period);
    const QString select =
        latestRows(QStringLiteral("d.fk_callsign, d.fk_dtstamp, d.height, d.speed, d.path, d.course"),
            QStringLiteral("mobile_data"), data.period);
    mConnection.forEachRow(select, QString(), [&](const QStringList &row) {
        qint64 seconds = 0;
        StationSummary *station = find(row.at(0));
        if (!station || !parseDtstamp(row.at(1), seconds))
            return;
        if (station->mobileAt && seconds < *station->mobileAt)
            return;
        station->mobileAt = seconds;
        station->heightMetres = number(row.at(2));
        station->speedKmh = number(row.at(3));
        station->mobilePath = row.at(4);
        station->courseDeg = int(number(row.at(5)));
    });
}

void ReportReader::readWeather(ReportData &data)
{
    const QString select =
        QStringLiteral("select fk_callsign, fk_dtstamp, temp, dewpoint, pressure, humidity, wind_speed, wind_gust, "
                       "wind_direction, rain_last_hour, rain_24hours, rain_today from wx_data")
        + data.period.whereClause(QStringLiteral("fk_dtstamp"));
    // Every column but the callsign and the time.
    constexpr quint64 Numbers = 0xFFCu;
    mConnection.forEachRowBlock(select, Numbers, [&](const OdbcRowBlock &rows) {
        for (qsizetype r = 0; r < rows.rows(); ++r) {
            ++data.weatherRows;
            WeatherSample sample;
            if (!parseDtstamp(rows.text(r, 1), sample.seconds)) {
                ++data.skippedRows;
                continue;
            }
            sample.tempC = rows.number(r, 2);
            sample.dewpointC = rows.number(r, 3);
            const double pressure = rows.number(r, 4);
            if (pressure > 0)
                sample.pressureHpa = pressure;
            const double humidity = rows.number(r, 5);
            if (humidity > 0)
                sample.humidityPercent = humidity;
            sample.windSpeedMs = rows.number(r, 6);
            sample.windGustMs = rows.number(r, 7);
            sample.windDirectionDeg = rows.number(r, 8);
            sample.rainLastHourMm = rows.number(r, 9);
            sample.rain24HoursMm = rows.number(r, 10);
            sample.rainTodayMm = rows.number(r, 11);
            data.weather[rows.text(r, 0).toString()].append(sample);
        }
    });
    for (auto &[callsign, samples] : data.weather)
        std::stable_sort(samples.begin(), samples.end(),
            [](const WeatherSample &a, const WeatherSample &b) { return a.seconds < b.seconds; });
}

void ReportReader::readTotals(ReportData &data)
{
    const QList<QStringList> rows =
        mConnection.queryRows(QStringLiteral("select count(*), max(dtstamp) from stations"), QString());
    if (rows.isEmpty())
        return;
    data.allStationRows = rows.first().value(0).toLongLong();
    qint64 newest = 0;
    if (parseDtstamp(rows.first().value(1), newest))
        data.newestDtstamp = dtstampText(newest);
}

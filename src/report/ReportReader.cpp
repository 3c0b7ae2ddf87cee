#include "report/ReportReader.h"

#include "db/OdbcConnection.h"
#include "report/DtstampText.h"

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
    mConnection.forEachRow(select, QString(), [&](const QStringList &row) {
        ++data.stationRows;
        qint64 seconds = 0;
        const double latitudeDeg = number(row.at(3)) / 60.0;
        const double longitudeDeg = number(row.at(4)) / 60.0;
        if (!parseDtstamp(row.at(1), seconds) || std::fabs(latitudeDeg) > 90 || std::fabs(longitudeDeg) > 180) {
            ++data.skippedRows;
            return;
        }
        const QString &callsign = row.at(0);
        StationSummary *station = find(callsign);
        if (!station) {
            mIndex.insert(callsign, mStations.size());
            mStations.append(StationSummary());
            station = &mStations.last();
            station->callsign = callsign;
            station->firstHeard = seconds;
            station->lastHeard = seconds;
        }
        // A type the bridge never writes is drawn as fixed, as the host files
        // any station it cannot place.
        int kind = int(number(row.at(2)));
        if (kind < 0 || kind > 2)
            kind = 0;
        ++station->beacons;
        station->firstHeard = std::min(station->firstHeard, seconds);
        station->everMobile = station->everMobile || kind == 2;
        station->track.append({seconds, latitudeDeg, longitudeDeg});
        // Two beacons in one second: the one read last stands.
        if (seconds >= station->lastHeard) {
            station->lastHeard = seconds;
            station->kind = kind;
            station->latitudeDeg = latitudeDeg;
            station->longitudeDeg = longitudeDeg;
            station->symbol = row.at(5);
            station->objectOwner = row.at(6);
            station->heardDirect = number(row.at(7)) != 0;
            station->radioPort = int(number(row.at(8)));
            station->distanceKm = number(row.at(9));
        }
    });
    for (StationSummary &station : mStations) {
        std::stable_sort(station.track.begin(), station.track.end(),
            [](const TrackPoint &a, const TrackPoint &b) { return a.seconds < b.seconds; });
        // Only the places it moved to: a parked car's beacons are one point.
        QList<TrackPoint> moves;
        for (const TrackPoint &point : std::as_const(station.track)) {
            if (moves.isEmpty() || moves.last().latitudeDeg != point.latitudeDeg
                || moves.last().longitudeDeg != point.longitudeDeg)
                moves.append(point);
        }
        station.track = std::move(moves);
    }
}

void ReportReader::readFixed(ReportData &data)
{
    const QString select = QStringLiteral("select fk_callsign, fk_dtstamp, status, comment, path from fixed_data")
        + data.period.whereClause(QStringLiteral("fk_dtstamp"));
    mConnection.forEachRow(select, QString(), [&](const QStringList &row) {
        ++data.fixedRows;
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
    const QString select =
        QStringLiteral("select fk_callsign, fk_dtstamp, height, speed, path, course from mobile_data")
        + data.period.whereClause(QStringLiteral("fk_dtstamp"));
    mConnection.forEachRow(select, QString(), [&](const QStringList &row) {
        ++data.mobileRows;
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
    mConnection.forEachRow(select, QString(), [&](const QStringList &row) {
        ++data.weatherRows;
        WeatherSample sample;
        if (!parseDtstamp(row.at(1), sample.seconds)) {
            ++data.skippedRows;
            return;
        }
        sample.tempC = number(row.at(2));
        sample.dewpointC = number(row.at(3));
        const double pressure = number(row.at(4));
        if (pressure > 0)
            sample.pressureHpa = pressure;
        const double humidity = number(row.at(5));
        if (humidity > 0)
            sample.humidityPercent = humidity;
        sample.windSpeedMs = number(row.at(6));
        sample.windGustMs = number(row.at(7));
        sample.windDirectionDeg = number(row.at(8));
        sample.rainLastHourMm = number(row.at(9));
        sample.rain24HoursMm = number(row.at(10));
        sample.rainTodayMm = number(row.at(11));
        data.weather[row.at(0)].append(sample);
    });
    for (auto &[callsign, samples] : data.weather)
        std::stable_sort(samples.begin(), samples.end(),
            [](const WeatherSample &a, const WeatherSample &b) { return a.seconds < b.seconds; });
}

#pragma once

#include "report/ReportPeriod.h"

#include <QList>
#include <QString>
#include <map>
#include <optional>

// One position of a station, in degrees, at a DtstampText second.
struct TrackPoint {
    qint64 seconds = 0;
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    // The first point after a jump the station really made (see TrackFilter).
    bool breakBefore = false;
};

// One wx_data row. pressure and humidity are empty where the station sent
// none: the bridge stores 0 for a reading the report lacks, and neither can
// really be 0.
struct WeatherSample {
    qint64 seconds = 0;
    double tempC = 0;
    double dewpointC = 0;
    std::optional<double> pressureHpa;
    std::optional<double> humidityPercent;
    double windSpeedMs = 0;
    double windGustMs = 0;
    double windDirectionDeg = 0;
    double rainLastHourMm = 0;
    double rain24HoursMm = 0;
    double rainTodayMm = 0;
};

// A station as its latest stations row in the period shows it, with the
// latest detail rows of each kind it sent.
struct StationSummary {
    QString callsign;
    int kind = 0;  // stations.type: 0 fixed, 1 weather, 2 mobile
    qint64 firstHeard = 0;
    qint64 lastHeard = 0;
    int beacons = 0;
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    QString symbol;
    QString objectOwner;
    bool heardDirect = false;
    int radioPort = 0;
    double distanceKm = 0;
    bool everMobile = false;
    // The places it moved to, in time order, without 0° 0° and jumps (see
    // TrackFilter); the page draws it when the station moved.
    QList<TrackPoint> track;
    // Its latest position is 0° 0°: sent without a GPS fix.
    bool noFix = false;
    // Its latest position is a jump TrackFilter left out of its track.
    bool jumped = false;

    // The latest fixed_data row.
    std::optional<qint64> fixedAt;
    QString status;
    QString comment;
    QString fixedPath;
    // The latest mobile_data row.
    std::optional<qint64> mobileAt;
    double speedKmh = 0;
    int courseDeg = 0;
    double heightMetres = 0;
    QString mobilePath;
};

struct ReportData {
    ReportPeriod period;
    QList<StationSummary> stations;                   // by callsign
    std::map<QString, QList<WeatherSample>> weather;  // by callsign, each in time order
    qint64 stationRows = 0;
    qint64 fixedRows = 0;
    qint64 mobileRows = 0;
    qint64 weatherRows = 0;
    // Rows left out: a time stamp that does not read, or a position off the globe.
    qint64 skippedRows = 0;
    // When the period holds no stations row: what the whole table holds, to
    // tell the user which period would show something.
    qint64 allStationRows = 0;
    QString newestDtstamp;  // empty when the table is empty
};

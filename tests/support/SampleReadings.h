#pragma once

#include "host/BeaconRecord.h"
#include "host/WeatherReadings.h"

#include <QString>

// Values shared by the recording tests and benchmark: a weather station's
// readings, and where each kind of station lands.

inline WeatherReadings sampleWeatherReadings(float tempC = -3.5f)
{
    WeatherReadings r;
    r.pressureHpa = 1013.2f;
    r.dewpointC = -6;
    r.humidityPercent = 55;
    r.rain24HoursMm = 12.5f;
    r.rainLastHourMm = 0.25f;
    r.rainTodayMm = 3;
    r.tempC = tempC;
    r.windChillC = -9.75f;
    r.windDirectionDeg = 270;
    r.windGustMs = 14;
    r.windSpeedMs = 8.5f;
    return r;
}

inline QString detailTableOf(qint16 kind)
{
    switch (kind) {
    case StationType::Fixed:
        return QStringLiteral("fixed_data");
    case StationType::Mobile:
        return QStringLiteral("mobile_data");
    case StationType::Weather:
        return QStringLiteral("wx_data");
    default:
        return QString();
    }
}

inline QString detailMessageOf(qint16 kind)
{
    switch (kind) {
    case StationType::Mobile:
        return QStringLiteral("Mobile Table (Error Inserting Data into database)");
    case StationType::Weather:
        return QStringLiteral("WX Table (Error Inserting Data into database)");
    default:
        return QStringLiteral("Fixed Table (Error Inserting Data into database)");
    }
}

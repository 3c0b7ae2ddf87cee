#pragma once

#include "ScriptedBeaconRecord.h"
#include "host/BeaconRecord.h"
#include "host/WeatherReadings.h"

#include <QString>

// Values shared by the recording tests and benchmark: a beacon of each kind,
// a weather station's readings, and where each kind of station lands.

inline const QDateTime SampleStamp(QDate(2004, 5, 6), QTime(14, 30, 0));

inline std::shared_ptr<ScriptedBeaconRecord> sampleBeacon(qint16 kind)
{
    ScriptedBeaconRecord::Fields f;
    f.stationType = kind;
    f.timeA = SampleStamp;
    f.timeB = SampleStamp.addSecs(-60);
    if (kind == StationType::Mobile) {
        f.callsign = QStringLiteral("N0CALL-9");
        f.distance = 12.5f;
        f.latitude = 3090.25f;
        f.longitude = -7.5f;
        f.heardDirect = HostTrue;
        f.radioPort = 1;
        f.symbolTable = QStringLiteral("/");
        f.symbolCode = QStringLiteral(">");
        f.objectOwner = QString();
        f.height = 0;
        f.speed = 12.5f;
        f.course = 270;
        f.packetHeader = QStringLiteral("N0CALL-9>APRS,WIDE1-1,WIDE2-1,qAR,N0CALL-10");
    } else if (kind == StationType::Weather) {
        f.callsign = QStringLiteral("WX1ABC");
        f.symbolTable = QStringLiteral("/");
        f.symbolCode = QStringLiteral("_");
        f.heardDirect = HostFalse;
        f.radioPort = 0;
        f.distance = 3.25f;
        f.latitude = 3091.5f;
        f.longitude = 10.75f;
    } else {
        f.callsign = QStringLiteral("N0CALL");
        f.statusText = QStringLiteral("On the air");
        f.packetText = QStringLiteral("!5130.12N/00007.50W-PHG2360 it's 5'C");
        f.commentStart = 21;
        f.packetHeader = QStringLiteral("N0CALL>APRS,WIDE2-1,qAR,N0CALL-10");
        f.objectOwner = QStringLiteral("  N0CALL-2  ");
        f.symbolTable = QStringLiteral("\\");
        f.symbolCode = QStringLiteral("k");
        f.distance = 0.1f;
        f.latitude = 3090.12f;
        f.longitude = -7.5f;
    }
    return std::make_shared<ScriptedBeaconRecord>(f);
}

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

#pragma once

#include "host/BeaconRecord.h"
#include "host/WeatherReadings.h"

#include <optional>

// A beacon as the Linux host received it: every value is fixed when the
// packet arrives, so reading it later (from the queue) gives what was heard
// then, not what the host has learned since.
class ReceivedBeacon : public BeaconRecord
{
public:
    struct Values {
        QString callsign;
        QString symbolCode;
        QString symbolTable;
        QString packetHeader;
        QString packetText;
        QString statusText;
        QString objectOwner;
        float longitudeMinutes = 0;
        float latitudeMinutes = 0;
        qint16 radioPort = 0;
        HostBool heardDirect = HostFalse;
        float speedKmh = 0;
        qint16 courseDeg = 0;
        QDateTime timeA;
        QDateTime timeB;
        float heightMetres = 0;
        float distanceKm = 0;
        qint16 commentStart = 1;
        qint16 stationType = StationType::Fixed;
        HostBool excluded = HostFalse;
    };

    explicit ReceivedBeacon(Values values, std::optional<WeatherReadings> weather = std::nullopt)
        : mValues(std::move(values)), mWeather(std::move(weather))
    { }

    const Values &values() const { return mValues; }
    // The station's weather readings as the host held them when this beacon
    // was heard, or null.
    const WeatherReadings *weather() const { return mWeather ? &*mWeather : nullptr; }

    QString callsign() const override { return mValues.callsign; }
    QString symbolCode() const override { return mValues.symbolCode; }
    QString symbolTable() const override { return mValues.symbolTable; }
    QString packetHeader() const override { return mValues.packetHeader; }
    QString packetText() const override { return mValues.packetText; }
    QString statusText() const override { return mValues.statusText; }
    QString objectOwner() const override { return mValues.objectOwner; }
    float longitude() const override { return mValues.longitudeMinutes; }
    float latitude() const override { return mValues.latitudeMinutes; }
    qint16 radioPort() const override { return mValues.radioPort; }
    HostBool heardDirect() const override { return mValues.heardDirect; }
    float speed() const override { return mValues.speedKmh; }
    qint16 course() const override { return mValues.courseDeg; }
    QDateTime timeA() const override { return mValues.timeA; }
    QDateTime timeB() const override { return mValues.timeB; }
    float height() const override { return mValues.heightMetres; }
    float distance() const override { return mValues.distanceKm; }
    qint16 commentStart() const override { return mValues.commentStart; }
    qint16 stationType() const override { return mValues.stationType; }
    HostBool excluded() const override { return mValues.excluded; }

private:
    const Values mValues;
    const std::optional<WeatherReadings> mWeather;
};

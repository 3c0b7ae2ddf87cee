#pragma once

#include "host/HostApplication.h"
#include "host/WeatherReadings.h"

#include <QHash>
#include <QStringList>
#include <memory>

// A host application for tests: weather lookups answered from a table of
// callsigns, each call logged, and any call made to fail with HostError. Its
// two events are raised with emit on its signals.
class ScriptedHost : public HostApplication
{
public:
    using HostApplication::HostApplication;

    // How a lookup that finds readings hands them over.
    enum class Delivery { FillInPlace, Replace };

    Delivery delivery = Delivery::FillInPlace;
    // Readings by callsign. With FillInPlace the values are copied into the
    // caller's WeatherReadings; with Replace (or when the caller's record is
    // no WeatherReadings) the caller's reference is pointed at this record.
    QHash<QString, WeatherRecordRef> weather;
    // The result of a lookup for a callsign not in weather.
    HostBool notFoundResult = HostFalse;
    bool failLookup = false;
    bool failSetAddOnConnected = false;

    QStringList lookups;
    QList<HostBool> addOnConnectedWrites;

    void setAddOnConnected(HostBool connected) override
    {
        if (failSetAddOnConnected)
            throw HostError("setting addOnConnected failed");
        addOnConnectedWrites.append(connected);
        mAddOnConnected = connected;
    }
    HostBool addOnConnected() const override { return mAddOnConnected; }

    HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) override
    {
        lookups.append(callsign);
        if (failLookup)
            throw HostError("lookupWeather failed");
        const WeatherRecordRef found = weather.value(callsign);
        if (!found)
            return notFoundResult;
        auto inPlace = std::dynamic_pointer_cast<WeatherReadings>(record);
        auto values = std::dynamic_pointer_cast<WeatherReadings>(found);
        if (delivery == Delivery::FillInPlace && inPlace && values)
            *inPlace = *values;
        else
            record = found;
        return HostTrue;
    }

private:
    HostBool mAddOnConnected = HostFalse;
};

#pragma once

#include "aprs/AprsPacket.h"
#include "host/WeatherReadings.h"

// Turns a decoded weather report into the host's weather record: readings the
// report lacks are 0, and the two derived values are computed.
class HostWeather
{
public:
    static WeatherReadings readingsFrom(const aprs::WeatherReport &report);

    // Magnus formula (Sonntag's constants, good from -45 to 60 degC);
    // humidity in percent, above 0.
    static double dewpointC(double tempC, double humidityPercent);

    // The North American / UK wind-chill index in metric units, defined for
    // temperatures up to 10 degC and winds above 4.8 km/h; outside that range
    // it is the air temperature itself.
    static double windChillC(double tempC, double windSpeedMs);
};

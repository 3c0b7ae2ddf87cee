#pragma once

#include "host/WeatherRecord.h"

// A plain weather record: the readings as values. Start-up creates an empty
// one; a host fills one in place or hands out its own.
class WeatherReadings : public WeatherRecord
{
public:
    float pressureHpa = 0;
    float windDirectionDeg = 0;
    float windChillC = 0;
    float windGustMs = 0;
    float dewpointC = 0;
    float tempC = 0;
    float humidityPercent = 0;
    float rainTodayMm = 0;
    float rainLastHourMm = 0;
    float rain24HoursMm = 0;
    float windSpeedMs = 0;

    float pressure() const override { return pressureHpa; }
    float windDirection() const override { return windDirectionDeg; }
    float windChill() const override { return windChillC; }
    float windGust() const override { return windGustMs; }
    float dewpoint() const override { return dewpointC; }
    float temp() const override { return tempC; }
    float humidity() const override { return humidityPercent; }
    float rainToday() const override { return rainTodayMm; }
    float rainLastHour() const override { return rainLastHourMm; }
    float rain24Hours() const override { return rain24HoursMm; }
    float windSpeed() const override { return windSpeedMs; }
};

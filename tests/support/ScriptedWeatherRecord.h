#pragma once

#include "ScriptedReads.h"
#include "host/WeatherReadings.h"

// Weather readings whose reads are logged and can be made to fail.
class ScriptedWeatherRecord : public WeatherRecord, public ScriptedReads
{
public:
    ScriptedWeatherRecord() = default;
    explicit ScriptedWeatherRecord(const WeatherReadings &values) : readings(values) { }

    WeatherReadings readings;

    float pressure() const override { return read("pressure", readings.pressureHpa); }
    float windDirection() const override { return read("windDirection", readings.windDirectionDeg); }
    float windChill() const override { return read("windChill", readings.windChillC); }
    float windGust() const override { return read("windGust", readings.windGustMs); }
    float dewpoint() const override { return read("dewpoint", readings.dewpointC); }
    float temp() const override { return read("temp", readings.tempC); }
    float humidity() const override { return read("humidity", readings.humidityPercent); }
    float rainToday() const override { return read("rainToday", readings.rainTodayMm); }
    float rainLastHour() const override { return read("rainLastHour", readings.rainLastHourMm); }
    float rain24Hours() const override { return read("rain24Hours", readings.rain24HoursMm); }
    float windSpeed() const override { return read("windSpeed", readings.windSpeedMs); }
};

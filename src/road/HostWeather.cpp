#include "road/HostWeather.h"

#include "aprs/Units.h"

#include <cmath>

double HostWeather::dewpointC(double tempC, double humidityPercent)
{
    constexpr double b = 17.62;
    constexpr double c = 243.12;
    const double gamma = std::log(humidityPercent / 100.0) + b * tempC / (c + tempC);
    return c * gamma / (b - gamma);
}

double HostWeather::windChillC(double tempC, double windSpeedMs)
{
    const double windKmh = windSpeedMs * aprs::units::msToKmh;
    if (tempC > 10.0 || windKmh <= 4.8)
        return tempC;
    const double v016 = std::pow(windKmh, 0.16);
    return 13.12 + 0.6215 * tempC - 11.37 * v016 + 0.3965 * tempC * v016;
}

WeatherReadings HostWeather::readingsFrom(const aprs::WeatherReport &report)
{
    WeatherReadings readings;
    readings.pressureHpa = float(report.pressureHpa.value_or(0));
    readings.windDirectionDeg = float(report.windDirectionDeg.value_or(0));
    readings.windGustMs = float(report.windGustMs.value_or(0));
    readings.windSpeedMs = float(report.windSpeedMs.value_or(0));
    readings.tempC = float(report.tempC.value_or(0));
    readings.humidityPercent = float(report.humidityPercent.value_or(0));
    readings.rainTodayMm = float(report.rainMidnightMm.value_or(0));
    readings.rainLastHourMm = float(report.rain1hMm.value_or(0));
    readings.rain24HoursMm = float(report.rain24hMm.value_or(0));
    if (report.tempC && report.humidityPercent && *report.humidityPercent > 0)
        readings.dewpointC = float(dewpointC(*report.tempC, *report.humidityPercent));
    if (report.tempC)
        readings.windChillC = float(windChillC(*report.tempC, report.windSpeedMs.value_or(0)));
    return readings;
}

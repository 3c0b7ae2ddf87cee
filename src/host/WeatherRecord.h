#pragma once

#include <memory>

// One weather station's latest readings as the host holds them. Each read may
// throw HostError.
class WeatherRecord
{
public:
    virtual ~WeatherRecord() = default;

    virtual float pressure() const = 0;
    virtual float windDirection() const = 0;
    virtual float windChill() const = 0;
    virtual float windGust() const = 0;
    virtual float dewpoint() const = 0;
    virtual float temp() const = 0;
    virtual float humidity() const = 0;
    virtual float rainToday() const = 0;
    virtual float rainLastHour() const = 0;
    virtual float rain24Hours() const = 0;
    virtual float windSpeed() const = 0;
};

using WeatherRecordRef = std::shared_ptr<WeatherRecord>;

#include "aprs/WeatherDecoder.h"

#include "aprs/ByteScan.h"
#include "aprs/Units.h"

#include <array>
#include <cmath>
#include <optional>

namespace aprs::detail {

namespace {

// How a weather field is written: its usual width (also the width of a
// "no reading" run of dots or blanks) and the digits it may carry.
struct FieldShape {
    int width = 0;
    int minDigits = 1;
    int maxDigits = 0;
    bool signedValue = false;
    bool fraction = false;
};

std::optional<FieldShape> shapeOf(char letter, bool windSpeedNext)
{
    switch (letter) {
    case 'c':
        return FieldShape {3, 1, 3};
    case 's':
        // Wind speed right after "cDDD"; snowfall (inches, may have a point) otherwise.
        return windSpeedNext ? FieldShape {3, 1, 3} : FieldShape {3, 1, 3, false, true};
    case 'g':
        return FieldShape {3, 1, 3};
    case 't':
        return FieldShape {3, 1, 3, true};
    // Some stations send four digits of rain; reading only three would leave
    // the fourth to end the readings.
    case 'r':
    case 'p':
    case 'P':
        return FieldShape {3, 1, 4};
    case 'h':
        return FieldShape {2, 1, 3};  // "h100" occurs
    case 'b':
        return FieldShape {5, 4, 5};  // tenths of hPa; "b9822" is 982.2
    case 'L':
    case 'l':
        return FieldShape {3, 1, 3};
    case '#':
        return FieldShape {3, 1, 5};  // raw rain counter
    case 'F':
        return FieldShape {4, 1, 4, true, true};  // water level, tenths of a foot ("F-012", "F0123")
    case 'V':
        return FieldShape {3, 1, 3, false, true};  // battery, tenths of a volt ("V128"), or volts ("V13.8")
    case 'X':
        return FieldShape {3, 3, 3};  // radiation: two digits and a power of ten
    default:
        return std::nullopt;
    }
}

bool isMissingMark(char c)
{
    return c == '.' || c == ' ' || c == '-';
}

bool isWindBlockChar(char c)
{
    return isDigit(c) || isMissingMark(c);
}

// Stores one reading; false for a value that cannot be one (it then stays in
// the comment). point says the value was written with a decimal point.
bool apply(char letter, bool windSpeed, double v, bool point, WeatherReport &weather)
{
    switch (letter) {
    case 'c':
        weather.windDirectionDeg = v;
        break;
    case 's':
        if (windSpeed)
            weather.windSpeedMs = v * units::mphToMs;
        else
            weather.snow24hMm = v * units::inchToMm;
        break;
    case 'g':
        weather.windGustMs = v * units::mphToMs;
        break;
    case 't':
        weather.tempC = units::fahrenheitToCelsius(v);
        break;
    case 'r':
        weather.rain1hMm = v * units::hundredthInchToMm;
        break;
    case 'p':
        weather.rain24hMm = v * units::hundredthInchToMm;
        break;
    case 'P':
        weather.rainMidnightMm = v * units::hundredthInchToMm;
        break;
    case 'h':
        // "h00" is 100 %; anything past 100 is not a humidity.
        if (v > 100)
            return false;
        weather.humidityPercent = v == 0 ? 100 : v;
        break;
    case 'b':
        // "b00000" is a station without a barometer, not a vacuum.
        if (v > 0)
            weather.pressureHpa = v / 10;
        break;
    case 'L':
        weather.luminosityWm2 = v;
        break;
    case 'l':
        weather.luminosityWm2 = v + 1000;
        break;
    case 'F':
        weather.waterLevelM = (point ? v : v / 10) * units::footToMetre;
        break;
    case 'V':
        weather.batteryVolts = point ? v : v / 10;
        break;
    case 'X': {
        // "X123" is 12 x 10^3 nSv/h.
        const int mantissa = static_cast<int>(v) / 10;
        const int exponent = static_cast<int>(v) % 10;
        weather.radiationNsvPerHour = mantissa * std::pow(10.0, exponent);
        break;
    }
    case '#':
        weather.rainCounter = v;
        break;
    default:
        return false;
    }
    return true;
}

}  // namespace

namespace {

// One letter-and-value field at i; returns where it ends, or npos when there
// is no field there (or no reading the field can hold).
std::size_t readField(std::string_view info, std::size_t i, bool afterWindDirection, WeatherReport &weather)
{
    const std::size_t n = info.size();
    // "c220/004": some stations put the '/' of the other form where the 's' belongs.
    const char letter = info[i] == '/' && afterWindDirection ? 's' : info[i];
    const bool windSpeed = letter == 's' && afterWindDirection;
    const auto shape = shapeOf(letter, windSpeed);
    if (!shape)
        return std::string_view::npos;

    std::size_t j = i + 1;
    bool negative = false;
    if (shape->signedValue && j + 1 < n && info[j] == '-' && isDigit(info[j + 1])) {
        negative = true;
        ++j;
    }
    double value = 0;
    int digits = 0;
    bool point = false;
    double scale = 0.1;
    while (j < n && digits < shape->maxDigits) {
        const char c = info[j];
        if (isDigit(c)) {
            if (point) {
                value += (c - '0') * scale;
                scale /= 10;
            } else {
                value = value * 10 + (c - '0');
            }
            ++digits;
        } else if (c == '.' && shape->fraction && !point && digits > 0 && j + 1 < n && isDigit(info[j + 1])) {
            point = true;
        } else {
            break;
        }
        ++j;
    }
    if (letter == 'b' && digits == 5 && j < n && isDigit(info[j]) && !(j + 1 < n && isDigit(info[j + 1]))) {
        // "b100700": the five digits of tenths of hPa, then one more decimal
        // place (hundredths: pascals). Of a longer run only five are read.
        value += (info[j] - '0') / 10.0;
        ++j;
    }
    if (digits >= shape->minDigits) {
        if (!apply(letter, windSpeed, negative ? -value : value, point, weather))
            return std::string_view::npos;
        return j;
    }
    if (digits > 0 || negative || i + 1 + static_cast<std::size_t>(shape->width) > n)
        return std::string_view::npos;
    // "g...", "h  ", "r---": the field is there but has no reading.
    for (int k = 1; k <= shape->width; ++k) {
        if (!isMissingMark(info[i + k]))
            return std::string_view::npos;
    }
    return i + 1 + shape->width;
}

}  // namespace

// 220/004g005t077r000p000P000h50b09900wRSW
std::size_t decodeWeatherFields(std::string_view info, std::size_t offset, WeatherReport &weather)
{
    std::size_t i = offset;
    const std::size_t n = info.size();
    if (i + 7 <= n && info[i + 3] == '/' && isWindBlockChar(info[i]) && isWindBlockChar(info[i + 1])
        && isWindBlockChar(info[i + 2]) && isWindBlockChar(info[i + 4]) && isWindBlockChar(info[i + 5])
        && isWindBlockChar(info[i + 6])) {
        const auto direction = info.substr(i, 3);
        const auto speed = info.substr(i + 4, 3);
        if (allDigits(direction))
            weather.windDirectionDeg = static_cast<double>(digitsValue(direction));
        if (allDigits(speed))
            weather.windSpeedMs = static_cast<double>(digitsValue(speed)) * units::mphToMs;
        i += 7;
    }

    bool afterWindDirection = false;
    while (i < n) {
        std::size_t end = readField(info, i, afterWindDirection, weather);
        if (end == std::string_view::npos && info.substr(i, 3) == "..." && i + 3 < n) {
            // "p001...h00": a field without its letter; step over it when a field follows.
            end = readField(info, i + 3, false, weather);
        }
        if (end == std::string_view::npos)
            break;
        afterWindDirection = info[i] == 'c';
        i = end;
    }
    // "wRSW", "eMB62": after the readings, the software type (one letter) and
    // the weather unit type (two to four bytes, led by a letter) end the
    // report; they are no comment. A lone "h150" is no such tag.
    if (i > offset && i < n && (isUpper(info[i]) || isLower(info[i]))) {
        std::size_t k = i + 1;
        while (k < n && k < i + 5 && (isAlnum(info[k]) || info[k] == '-'))
            ++k;
        std::size_t rest = k;
        while (rest < n && isBlank(info[rest]))
            ++rest;
        if (k >= i + 3 && rest == n && (isUpper(info[i + 1]) || isLower(info[i + 1])))
            return n;
    }
    return i;
}

namespace {

// Up to maxWords 16-bit two's complement words written as four hex digits.
template <std::size_t N>
int readUltimeterWords(std::string_view s, std::array<std::optional<int>, N> &words)
{
    std::size_t count = 0;
    std::size_t i = 0;
    while (count < N && i + 4 <= s.size()) {
        const auto word = s.substr(i, 4);
        if (word == "----") {
            words[count++] = std::nullopt;
        } else if (isHexDigit(word[0]) && isHexDigit(word[1]) && isHexDigit(word[2]) && isHexDigit(word[3])) {
            int v = (hexValue(word[0]) << 12) | (hexValue(word[1]) << 8) | (hexValue(word[2]) << 4) | hexValue(word[3]);
            words[count++] = v < 32768 ? v : v - 65536;
        } else {
            break;
        }
        i += 4;
    }
    return static_cast<int>(count);
}

// Tenths of a percent, kept as the whole percent the station shows.
void setHumidity(std::optional<double> &target, int tenths)
{
    const double shown = std::nearbyint(tenths / 10.0);
    if (shown >= 1 && shown <= 100)
        target = shown;
}

// Words are signed for the temperatures; a negative amount of wind or rain
// is a broken reading.
std::optional<double> amount(const std::optional<int> &word, double scale)
{
    if (!word || *word < 0)
        return std::nullopt;
    return *word * scale;
}

}  // namespace

// $ULTW0000000001FF000427C70002CCD30001026E003A050F00040000
bool decodeUltimeterData(std::string_view s, WeatherReport &weather)
{
    std::array<std::optional<int>, 13> w;
    const int count = readUltimeterWords(s, w);
    if (count == 0)
        return false;
    weather.windGustMs = amount(w[0], units::kmhToMs / 10);  // peak gust, 0.1 km/h
    if (w[1])
        weather.windDirectionDeg = (*w[1] & 0xff) * 360.0 / 255.0;
    if (w[2])
        weather.tempC = units::fahrenheitToCelsius(*w[2] / 10.0);
    weather.rainMidnightMm = amount(w[3], units::hundredthInchToMm);  // long-term total; today's wins below
    if (w[4] && *w[4] >= 10)
        weather.pressureHpa = *w[4] / 10.0;
    // w[5..7]: barometer delta and correction factor
    if (w[8])
        setHumidity(weather.humidityPercent, *w[8]);
    // w[9], w[10]: date and time
    if (w[11])
        weather.rainMidnightMm = amount(w[11], units::hundredthInchToMm);
    if (w[12])
        weather.windSpeedMs = amount(w[12], units::kmhToMs / 10);  // one-minute average
    return true;
}

// !!00000066013D000028710166--------0158053201200210
bool decodeUltimeterLogging(std::string_view s, WeatherReport &weather)
{
    std::array<std::optional<int>, 12> w;
    const int count = readUltimeterWords(s, w);
    if (count == 0)
        return false;
    weather.windSpeedMs = amount(w[0], units::kmhToMs / 10);  // instant; the average wins below
    if (w[1])
        weather.windDirectionDeg = (*w[1] & 0xff) * 360.0 / 255.0;
    if (w[2])
        weather.tempC = units::fahrenheitToCelsius(*w[2] / 10.0);
    weather.rainMidnightMm = amount(w[3], units::hundredthInchToMm);
    if (w[4] && *w[4] >= 10)
        weather.pressureHpa = *w[4] / 10.0;
    std::optional<double> indoorTemp;
    if (w[5])
        indoorTemp = units::fahrenheitToCelsius(*w[5] / 10.0);
    if (w[6])
        setHumidity(weather.humidityPercent, *w[6]);
    std::optional<double> indoorHumidity;
    if (w[7])
        setHumidity(indoorHumidity, *w[7]);
    // w[8], w[9]: date and time
    if (w[10])
        weather.rainMidnightMm = amount(w[10], units::hundredthInchToMm);
    if (w[11])
        weather.windSpeedMs = amount(w[11], units::kmhToMs / 10);
    // A station without outdoor sensors still reports its indoor ones.
    if (!weather.tempC)
        weather.tempC = indoorTemp;
    if (!weather.humidityPercent)
        weather.humidityPercent = indoorHumidity;
    return true;
}

}  // namespace aprs::detail

#include "aprs/NmeaDecoder.h"

#include "aprs/ByteScan.h"
#include "aprs/PositionDecoder.h"
#include "aprs/Units.h"

#include <array>
#include <cmath>

namespace aprs::detail {

namespace {

constexpr std::size_t maxFields = 20;

struct Fields {
    std::array<std::string_view, maxFields> at;
    std::size_t count = 0;
};

// Comma-separated fields; empty fields at the end do not count, so that
// "$GPRMC,...,230309,,*33" has ten fields like a sentence without them.
Fields splitFields(std::string_view s)
{
    Fields f;
    std::size_t start = 0;
    while (f.count < maxFields) {
        const std::size_t comma = s.find(',', start);
        f.at[f.count++] = s.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    while (f.count > 0 && f.at[f.count - 1].empty())
        --f.count;
    return f;
}

enum class Axis { Latitude, Longitude };

// "4807.038" with "N": degrees (1..3 digits), two digits of minutes below 60,
// at least one decimal. The hemisphere letter must fit the axis: an 'E' on
// the latitude would let 94 degrees through. Returns the reason code or nullptr.
const char *coordinate(Axis axis, std::string_view value, std::string_view sign, double &out, double &resolutionM)
{
    value = trimBlanks(value);
    sign = trimBlanks(sign);
    const std::size_t point = value.find('.');
    if (point == std::string_view::npos || point < 3 || point > 5 || point + 1 >= value.size())
        return "nmea_inv_cval";
    const auto degrees = value.substr(0, point - 2);
    const auto minutes = value.substr(point - 2, 2);
    const auto decimals = value.substr(point + 1);
    if (!allDigits(degrees) || !allDigits(minutes) || !allDigits(decimals) || minutes[0] > '5')
        return "nmea_inv_cval";
    double minuteValue = static_cast<double>(digitsValue(minutes));
    double scale = 0.1;
    for (const char c : decimals) {
        minuteValue += (c - '0') * scale;
        scale /= 10;
    }
    double v = static_cast<double>(digitsValue(degrees)) + minuteValue / 60;
    const char s = sign.size() == 1 ? sign[0] : '\0';
    if (axis == Axis::Longitude && (s == 'E' || s == 'W' || s == 'e' || s == 'w')) {
        if (v > 179.999999)
            return "nmea_large_ew";
        if (s == 'W' || s == 'w')
            v = -v;
    } else if (axis == Axis::Latitude && (s == 'N' || s == 'S' || s == 'n' || s == 's')) {
        if (v > 89.999999)
            return "nmea_large_ns";
        if (s == 'S' || s == 's')
            v = -v;
    } else {
        return "nmea_inv_sign";
    }
    out = v;
    resolutionM = resolutionMetres(decimals.size() > 9 ? 9 : static_cast<int>(decimals.size()));
    return nullptr;
}

// "hhmmss" with an optional fraction of a second.
bool validTime(std::string_view t)
{
    t = trimBlanks(t);
    const std::size_t point = t.find('.');
    if (point != std::string_view::npos) {
        if (!allDigits(t.substr(point + 1)))
            return false;
        t = t.substr(0, point);
    }
    if (t.size() != 6 || !allDigits(t))
        return false;
    return digitsValue(t.substr(0, 2)) <= 23 && digitsValue(t.substr(2, 2)) <= 59 && digitsValue(t.substr(4, 2)) <= 59;
}

// "ddmmyy"
bool validDate(std::string_view d)
{
    d = trimBlanks(d);
    if (d.size() != 6 || !allDigits(d))
        return false;
    const long day = digitsValue(d.substr(0, 2));
    const long month = digitsValue(d.substr(2, 2));
    const long yy = digitsValue(d.substr(4, 2));
    const long year = yy >= 70 ? 1900 + yy : 2000 + yy;
    static constexpr int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= monthDays[month - 1] + ((month == 2 && leap) ? 1 : 0);
}

// Symbols from a GPSxyz/SPCxyz destination: two letters pick a symbol, a third
// character is an overlay, or Cnn/Enn give a primary/alternate symbol by number.
bool symbolFromDestination(std::string_view dest, char &table, char &code)
{
    if (dest.size() < 5 || (dest.substr(0, 3) != "GPS" && dest.substr(0, 3) != "SPC"))
        return false;
    std::string_view rest = dest.substr(3);
    std::size_t len = 0;
    while (len < rest.size() && len < 3 && (isUpper(rest[len]) || isDigit(rest[len])))
        ++len;
    if (len < 2)
        return false;
    rest = rest.substr(0, len);
    const char type = rest[0];
    if (len == 3 && (type == 'C' || type == 'E')) {
        if (!isDigit(rest[1]) || !isDigit(rest[2]))
            return false;
        const int number = (rest[1] - '0') * 10 + (rest[2] - '0');
        if (number < 1 || number > 94)
            return false;
        table = type == 'C' ? '/' : '\\';
        code = static_cast<char>(number + 32);
        return true;
    }
    const char a = rest[0];
    const char b = rest[1];
    // Primary table letters and their alternate-table twins.
    struct Group {
        char primary, alternate, first, last, firstCode;
    };
    static constexpr Group groups[] = {
        {'B', 'O', 'B', 'P', '!'},
        {'P', 'A', '0', '9', '0'},
        {'M', 'N', 'R', 'X', ':'},
        {'P', 'A', 'A', 'Z', 'A'},
        {'H', 'D', 'S', 'X', '['},
        {'L', 'S', 'A', 'Z', 'a'},
        {'J', 'Q', '1', '4', '{'},
    };
    for (const Group &g : groups) {
        if ((a == g.primary || a == g.alternate) && b >= g.first && b <= g.last) {
            code = static_cast<char>(g.firstCode + (b - g.first));
            if (len == 3) {
                // Overlays exist only on the alternate table.
                if (a != g.alternate || !(isUpper(rest[2]) || isDigit(rest[2])))
                    return false;
                table = rest[2];
            } else {
                table = a == g.primary ? '/' : '\\';
            }
            return true;
        }
    }
    return false;
}

}  // namespace

// $GPRMC,145526,A,3349.0378,N,08406.2617,W,23.726,27.9,121207,4.9,W*7A
// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,47.0,M,,*47
const char *decodeNmea(DecodeState &state, std::string_view destination)
{
    Packet &p = state.packet;
    p.positionFormat = PositionFormat::Nmea;
    std::string_view body = state.info.substr(1);
    while (!body.empty() && isBlank(body.back()))
        body.remove_suffix(1);

    // "*hh" at the end is the XOR of everything between '$' and '*'.
    if (body.size() >= 4 && body[body.size() - 3] == '*' && isHexDigit(body[body.size() - 2])
        && isHexDigit(body[body.size() - 1])) {
        const auto area = body.substr(0, body.size() - 3);
        int sum = 0;
        for (const char c : area)
            sum ^= static_cast<unsigned char>(c);
        if (sum != hexValue(body[body.size() - 2]) * 16 + hexValue(body[body.size() - 1]))
            return "nmea_inv_cksum";
        body = area;
    }

    char table = '/';
    char code = '/';
    symbolFromDestination(destination, table, code);
    p.symbolTable = QChar(QLatin1Char(table));
    p.symbolCode = QChar(QLatin1Char(code));

    const Fields f = splitFields(body);
    const std::string_view sentence = f.at[0];
    const std::string_view talker = sentence.substr(0, 2);
    const std::string_view type = sentence.size() == 5 ? sentence.substr(2) : std::string_view();
    if ((talker != "GP" && talker != "GN") || (type != "RMC" && type != "GGA" && type != "GLL"))
        return "nmea_unsupp";

    double latitude = 0;
    double longitude = 0;
    double resolution = 0;
    if (type == "RMC") {
        if (f.count < 10)
            return "gprmc_fewfields";
        if (f.at[2] != "A")
            return "gprmc_nofix";
        if (!validTime(f.at[1]))
            return "gprmc_inv_time";
        if (!validDate(f.at[9]))
            return "gprmc_inv_date";
        if (const auto knots = parseDecimal(trimBlanks(f.at[7])); knots && *knots >= 0 && std::isfinite(*knots))
            p.speedKmh = *knots * units::knotToKmh;
        // Rounded to whole degrees; 0 becomes 360 because APRS keeps 0 for "unknown".
        double course = 0;
        if (const auto c = parseDecimal(trimBlanks(f.at[8])); c && *c >= 0) {
            course = std::floor(*c + 0.5);
            if (course == 0)
                course = 360;
            else if (course > 360)
                course = 0;
        }
        p.courseDeg = course;
        if (const char *e = coordinate(Axis::Latitude, f.at[3], f.at[4], latitude, resolution))
            return e;
        if (const char *e = coordinate(Axis::Longitude, f.at[5], f.at[6], longitude, resolution))
            return e;
    } else if (type == "GGA") {
        if (f.count < 11)
            return "gpgga_fewfields";
        const auto quality = trimBlanks(f.at[6]);
        if (!allDigits(quality) || quality.size() > 6 || digitsValue(quality) < 1)
            return "gpgga_nofix";
        if (!validTime(f.at[1]))
            return "timestamp_inv_gpgga";
        if (const char *e = coordinate(Axis::Latitude, f.at[2], f.at[3], latitude, resolution))
            return e;
        if (const char *e = coordinate(Axis::Longitude, f.at[4], f.at[5], longitude, resolution))
            return e;
        if (f.at[10] == "M") {
            if (const auto metres = parseDecimal(f.at[9]); metres && std::isfinite(*metres))
                p.altitudeM = *metres;
        }
    } else {
        if (f.count < 5)
            return "gpgll_fewfields";
        if (const char *e = coordinate(Axis::Latitude, f.at[1], f.at[2], latitude, resolution))
            return e;
        if (const char *e = coordinate(Axis::Longitude, f.at[3], f.at[4], longitude, resolution))
            return e;
        if (f.count >= 6 && !validTime(f.at[5]))
            return "timestamp_inv_gpgll";
        if (f.count >= 7 && f.at[6] != "A")
            return "gpgll_nofix";
    }
    p.hasPosition = true;
    p.latitudeDeg = latitude;
    p.longitudeDeg = longitude;
    p.positionResolutionM = resolution;
    return nullptr;
}

}  // namespace aprs::detail

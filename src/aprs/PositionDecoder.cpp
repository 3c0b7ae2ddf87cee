#include "aprs/PositionDecoder.h"

#include "aprs/ByteScan.h"
#include "aprs/PacketText.h"
#include "aprs/Units.h"
#include "aprs/WeatherDecoder.h"

#include <algorithm>
#include <cmath>

namespace aprs::detail {

namespace {

bool isSymbolTable(char c)
{
    return c == '/' || c == '\\' || isUpper(c) || isDigit(c);
}

// Symbol codes are printable ASCII except '|' and '~', which TNCs reserve.
bool isSymbolCode(char c)
{
    return (c >= 0x21 && c <= 0x7b) || c == 0x7d;
}

bool isCompressedTable(char c)
{
    return c == '/' || c == '\\' || isUpper(c) || (c >= 'a' && c <= 'j');
}

bool isMinuteChar(char c)
{
    return isDigit(c) || c == ' ';
}

// Minutes written "MM.mm" with trailing digits possibly blanked; returns the
// centre of the box the blanked digits leave, in minutes, or a negative value
// when the blanks do not fit the ambiguity.
double minutesAtCentre(const char *m, int ambiguity)
{
    const char digits[4] = {m[0], m[1], m[3], m[4]};
    for (int k = 0; k < 4 - ambiguity; ++k) {
        if (!isDigit(digits[k]))
            return -1;
    }
    switch (ambiguity) {
    case 0:
        return (digits[0] - '0') * 10 + (digits[1] - '0') + (digits[2] - '0') / 10.0 + (digits[3] - '0') / 100.0;
    case 1:
        return (digits[0] - '0') * 10 + (digits[1] - '0') + (digits[2] - '0') / 10.0 + 0.05;
    case 2:
        return (digits[0] - '0') * 10 + (digits[1] - '0') + 0.5;
    case 3:
        return (digits[0] - '0') * 10 + 5;
    default:
        return 30;
    }
}

}  // namespace

// 4903.50N/07201.75W-   and with ambiguity   49  .  N/072  .  W-
const char *decodeUncompressedPosition(DecodeState &state, std::size_t offset)
{
    const std::string_view s = state.info.substr(offset);
    if (s.size() < 19)
        return "loc_short";
    Packet &p = state.packet;
    p.positionFormat = PositionFormat::Uncompressed;

    const bool shapeOk = isDigit(s[0]) && isDigit(s[1]) && isMinuteChar(s[2]) && isMinuteChar(s[3]) && s[4] == '.'
        && isMinuteChar(s[5]) && isMinuteChar(s[6]) && (s[7] == 'N' || s[7] == 'S' || s[7] == 'n' || s[7] == 's')
        && isDigit(s[9]) && isDigit(s[10]) && isDigit(s[11]) && isMinuteChar(s[12]) && isMinuteChar(s[13])
        && s[14] == '.' && isMinuteChar(s[15]) && isMinuteChar(s[16])
        && (s[17] == 'E' || s[17] == 'W' || s[17] == 'e' || s[17] == 'w') && isSymbolCode(s[18]);
    if (!shapeOk)
        return "loc_inv";
    if (!isSymbolTable(s[8]))
        return "sym_inv_table";

    const int latDeg = (s[0] - '0') * 10 + (s[1] - '0');
    const int lonDeg = (s[9] - '0') * 100 + (s[10] - '0') * 10 + (s[11] - '0');
    if (latDeg > 89 || lonDeg > 179)
        return "loc_large";

    // Ambiguity is the number of blanked latitude minute digits, counted from
    // the right; the longitude is blanked the same way.
    int ambiguity = 0;
    const char latMinute[4] = {s[2], s[3], s[5], s[6]};
    while (ambiguity < 4 && latMinute[3 - ambiguity] == ' ')
        ++ambiguity;
    const double latMin = minutesAtCentre(s.data() + 2, ambiguity);
    const double lonMin = minutesAtCentre(s.data() + 12, ambiguity);
    if (latMin < 0 || lonMin < 0)
        return "loc_amb_inv";
    if (latMin >= 60 || lonMin >= 60)
        return "loc_inv";

    double latitude = latDeg + latMin / 60;
    double longitude = lonDeg + lonMin / 60;
    if (s[7] == 'S' || s[7] == 's')
        latitude = -latitude;
    if (s[17] == 'W' || s[17] == 'w')
        longitude = -longitude;

    p.hasPosition = true;
    p.latitudeDeg = latitude;
    p.longitudeDeg = longitude;
    p.ambiguity = ambiguity;
    p.positionResolutionM = resolutionMetres(2 - ambiguity);
    p.symbolTable = QChar(QLatin1Char(s[8]));
    p.symbolCode = QChar(QLatin1Char(s[18]));
    return nullptr;
}

// /5L!!<*e7>7P[   table, 4+4 base-91 bytes of latitude and longitude, symbol,
// then course/speed, altitude or range bytes and a type byte.
const char *decodeCompressedPosition(DecodeState &state, std::size_t offset)
{
    const std::string_view s = state.info.substr(offset);
    if (s.size() < 13 || !isCompressedTable(s[0]))
        return "comp_inv";
    for (int k = 1; k <= 8; ++k) {
        if (!inRange(s, k, 0x21, 0x7b))
            return "comp_inv";
    }
    if (!isSymbolCode(s[9]) || !inRange(s, 10, 0x20, 0x7b) || !inRange(s, 11, 0x20, 0x7b)
        || !inRange(s, 12, 0x20, 0x7b))
        return "comp_inv";

    Packet &p = state.packet;
    p.positionFormat = PositionFormat::Compressed;
    auto base91 = [&](int from) {
        return (byteAt(s, from) - 33) * 753571.0 + (byteAt(s, from + 1) - 33) * 8281.0
            + (byteAt(s, from + 2) - 33) * 91.0 + (byteAt(s, from + 3) - 33);
    };
    // Four base-91 digits reach a little past the poles and the antimeridian.
    const double latitude = 90 - base91(1) / 380926;
    const double longitude = -180 + base91(5) / 190463;
    if (latitude < -90 || longitude > 180)
        return "comp_inv";
    p.hasPosition = true;
    p.latitudeDeg = latitude;
    p.longitudeDeg = longitude;
    p.positionResolutionM = 0.291;
    // Overlays a..j stand for the digits 0..9.
    const char table = (s[0] >= 'a' && s[0] <= 'j') ? static_cast<char>(s[0] - 'a' + '0') : s[0];
    p.symbolTable = QChar(QLatin1Char(table));
    p.symbolCode = QChar(QLatin1Char(s[9]));

    const int c = byteAt(s, 10) - 33;
    const int sp = byteAt(s, 11) - 33;
    const int type = byteAt(s, 12) - 33;
    if (c < 0 || sp < 0)
        return nullptr;  // blank: no course/speed, altitude or range
    if ((type & 0x18) == 0x10) {
        // Type says the cs bytes hold the altitude of a GGA fix.
        p.altitudeM = std::pow(1.002, c * 91 + sp) * units::footToMetre;
    } else if (c <= 89) {
        const double knots = std::pow(1.08, sp) - 1;
        if (s[9] == '_') {
            // A weather station sends wind here, not its own movement.
            p.weather.windDirectionDeg = c * 4.0;
            p.weather.windSpeedMs = knots * units::knotToMs;
        } else {
            p.courseDeg = c == 0 ? 360.0 : c * 4.0;  // zero is north here, and 360 in APRS
            p.speedKmh = knots * units::knotToKmh;
        }
    } else if (c == 90) {
        p.radioRangeKm = 2 * std::pow(1.08, sp) * units::mileToKm;
    }
    return nullptr;
}

// A minute of latitude is 1852 m; a whole degree is 60 minutes.
double resolutionMetres(int minuteDecimals)
{
    switch (minuteDecimals) {
    case -2:
        return 111120;
    case -1:
        return 18520;
    case 0:
        return 1852;
    case 1:
        return 185.2;
    case 2:
        return 18.52;
    case 3:
        return 1.852;
    case 4:
        return 0.1852;
    default:
        return 1852 * std::pow(10.0, -minuteDecimals);
    }
}

namespace {

// PHG7220, or PHG72205/ with a beacon rate; returns the offset after it, or
// offset when there is none.
std::size_t takePhg(DecodeState &state, std::size_t offset)
{
    const std::string_view rest = state.info.substr(offset);
    if (rest.size() < 7 || rest.substr(0, 3) != "PHG" || !isDigit(rest[3]) || !inRange(rest, 4, 0x30, 0x7e)
        || !isDigit(rest[5]) || !isDigit(rest[6]))
        return offset;
    if (rest.size() >= 9 && (isDigit(rest[7]) || isUpper(rest[7])) && rest[8] == '/') {
        state.phg = ByteSpan::of(offset + 3, 5);
        return offset + 8;
    }
    state.phg = ByteSpan::of(offset + 3, 4);
    return offset + 7;
}

}  // namespace

void decodeAfterPosition(DecodeState &state, std::size_t offset)
{
    Packet &p = state.packet;
    const std::string_view info = state.info;
    if (p.symbolCode == QLatin1Char('_')) {
        // A weather station without wind sends its PHG there: "_PHG5260 I-Gate".
        if (const std::size_t afterPhg = takePhg(state, offset); afterPhg != offset) {
            decodeComment(state, afterPhg, true, true);
            return;
        }
        const std::size_t end = decodeWeatherFields(info, offset, p.weather);
        decodeComment(state, end, true, false);
        return;
    }

    const std::string_view rest = info.substr(offset);
    if (rest.size() >= 7) {
        auto courseSpeedChar = [](char c) { return isDigit(c) || c == '.' || c == ' '; };
        if (rest[3] == '/' && courseSpeedChar(rest[0]) && courseSpeedChar(rest[1]) && courseSpeedChar(rest[2])
            && courseSpeedChar(rest[4]) && courseSpeedChar(rest[5]) && courseSpeedChar(rest[6])) {
            // 088/036: course and speed in knots; "000" or dots for an unknown course.
            const auto course = rest.substr(0, 3);
            const auto speed = rest.substr(4, 3);
            const long courseValue = allDigits(course) ? digitsValue(course) : 0;
            p.courseDeg = (courseValue >= 1 && courseValue <= 360) ? static_cast<double>(courseValue) : 0.0;
            if (allDigits(speed))
                p.speedKmh = static_cast<double>(digitsValue(speed)) * units::knotToKmh;
            offset += 7;
            // A DF station's report goes on "/BRG/NRQ": 088/036/270/729.
            if (p.symbolCode == QLatin1Char('\\') && rest.size() >= 15 && rest[7] == '/' && rest[11] == '/'
                && allDigits(rest.substr(8, 3)) && allDigits(rest.substr(12, 3))) {
                const long bearing = digitsValue(rest.substr(8, 3));
                if (bearing >= 1 && bearing <= 360) {
                    p.dfBearingDeg = static_cast<double>(bearing);
                    state.dfNrq = ByteSpan::of(offset + 5, 3);
                    offset += 8;
                }
            }
        } else if (const std::size_t afterPhg = takePhg(state, offset); afterPhg != offset) {
            offset = afterPhg;
        } else if (rest.substr(0, 3) == "RNG" && allDigits(rest.substr(3, 4))) {
            p.radioRangeKm = static_cast<double>(digitsValue(rest.substr(3, 4))) * units::mileToKm;
            offset += 7;
        } else if (rest.substr(0, 3) == "DFS" && allDigits(rest.substr(3, 4))) {
            state.dfs = ByteSpan::of(offset + 3, 4);
            offset += 7;
        }
    }
    decodeComment(state, offset, true, true);
}

namespace {

// "/A=001234" or "/A=-00012": feet, anywhere in the comment; the first one counts.
void takeAltitude(DecodeState &state, std::size_t offset)
{
    const std::string_view info = state.info.substr(0, state.commentEnd);
    for (std::size_t pos = info.find("/A=", offset); pos != std::string_view::npos; pos = info.find("/A=", pos + 1)) {
        const auto value = info.substr(pos + 3, 6);
        if (value.size() < 6)
            return;
        const bool negative = value[0] == '-';
        const auto digits = negative ? value.substr(1) : value;
        if (!allDigits(digits))
            continue;
        const double feet = static_cast<double>(digitsValue(digits));
        state.packet.altitudeM = (negative ? -feet : feet) * units::footToMetre;
        state.cut(pos, 9);
        return;
    }
}

int base91Pair(std::string_view s, std::size_t at)
{
    return (byteAt(s, at) - 33) * 91 + (byteAt(s, at + 1) - 33);
}

// |ss1122334455BB|: sequence, up to five channels and the bits, two base-91
// bytes each. The last such group in the comment counts.
void takeCommentTelemetry(DecodeState &state, std::size_t offset)
{
    const std::string_view info = state.info.substr(0, state.commentEnd);
    std::size_t end = info.size();
    while (end > offset) {
        const std::size_t close = info.rfind('|', end - 1);
        if (close == std::string_view::npos || close <= offset)
            return;
        const std::size_t open = info.rfind('|', close - 1);
        if (open == std::string_view::npos || open < offset)
            return;
        const std::size_t length = close - open - 1;
        bool ok = length >= 4 && length <= 14 && length % 2 == 0 && !state.overlapsCut(open, length + 2);
        for (std::size_t k = open + 1; ok && k < close; ++k)
            ok = inRange(info, k, 0x21, 0x7b);
        if (ok) {
            Packet &p = state.packet;
            text::assignNumber(p.telemetrySequence, base91Pair(info, open + 1));
            const std::size_t pairs = length / 2;
            const std::size_t channels = pairs >= 7 ? 5 : pairs - 1;
            p.telemetryValues.assign(5, std::nullopt);
            for (std::size_t ch = 0; ch < channels; ++ch)
                p.telemetryValues[ch] = base91Pair(info, open + 3 + 2 * ch);
            if (pairs == 7) {
                const int bits = base91Pair(info, open + 13);
                char text[8];
                for (int b = 0; b < 8; ++b)
                    text[b] = (bits & (1 << b)) ? '1' : '0';
                text::assignLatin1(p.telemetryBits, std::string_view(text, 8));
            }
            state.cut(open, length + 2);
            return;
        }
        end = close;
    }
}

// !W53! human-readable or !wAb! base-91 extra precision for the position, the
// datum byte first. The last candidate counts.
void takeDao(DecodeState &state, std::size_t offset)
{
    const std::string_view info = state.info.substr(0, state.commentEnd);
    std::size_t pos = info.size();
    while (pos > offset) {
        pos = info.rfind('!', pos - 1);
        if (pos == std::string_view::npos || pos < offset)
            return;
        if (pos + 4 >= info.size() || info[pos + 4] != '!' || !inRange(info, pos + 1, 0x21, 0x7b)
            || !inRange(info, pos + 2, 0x20, 0x7b) || !inRange(info, pos + 3, 0x20, 0x7b) || state.overlapsCut(pos, 5))
            continue;
        const char datum = info[pos + 1];
        const char a = info[pos + 2];
        const char b = info[pos + 3];
        Packet &p = state.packet;
        double latOffset = 0;
        double lonOffset = 0;
        if (isUpper(datum) && isDigit(a) && isDigit(b)) {
            latOffset = (a - '0') * 0.001 / 60;
            lonOffset = (b - '0') * 0.001 / 60;
            p.positionResolutionM = resolutionMetres(3);
        } else if (isLower(datum) && inRange(info, pos + 2, 0x21, 0x7b) && inRange(info, pos + 3, 0x21, 0x7b)) {
            latOffset = (byteAt(info, pos + 2) - 33) / 91.0 * 0.01 / 60;
            lonOffset = (byteAt(info, pos + 3) - 33) / 91.0 * 0.01 / 60;
            p.positionResolutionM = resolutionMetres(4);
        } else if (a != ' ' || b != ' ') {
            return;  // not a DAO; an earlier '!' is not tried either
        }
        if (p.hasPosition) {
            p.latitudeDeg = std::clamp(p.latitudeDeg + (p.latitudeDeg < 0 ? -latOffset : latOffset), -90.0, 90.0);
            p.longitudeDeg = std::clamp(p.longitudeDeg + (p.longitudeDeg < 0 ? -lonOffset : lonOffset), -180.0, 180.0);
        }
        state.cut(pos, 5);
        return;
    }
}

}  // namespace

void decodeComment(DecodeState &state, std::size_t offset, bool altitudeToken, bool skipDelimiter)
{
    decodeComment(state, offset, state.info.size(), altitudeToken, skipDelimiter);
}

void decodeComment(DecodeState &state, std::size_t offset, std::size_t end, bool altitudeToken, bool skipDelimiter)
{
    state.hasComment = true;
    state.commentBegin = offset;
    state.commentEnd = end;
    state.skipDelimiter = skipDelimiter;
    // Most comments hold none of the marks these extensions need: one look
    // at the bytes spares three searches.
    bool slash = false;
    int bars = 0;
    bool bang = false;
    for (std::size_t k = offset; k < end; ++k) {
        const char c = state.info[k];
        slash = slash || c == '/';
        bars += c == '|';
        bang = bang || c == '!';
    }
    if (altitudeToken && slash)
        takeAltitude(state, offset);
    if (bars >= 2)
        takeCommentTelemetry(state, offset);
    if (bang)
        takeDao(state, offset);
}

}  // namespace aprs::detail

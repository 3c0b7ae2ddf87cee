#include "aprs/MicEDecoder.h"

#include "aprs/ByteScan.h"
#include "aprs/PositionDecoder.h"
#include "aprs/Units.h"

#include <cmath>

namespace aprs::detail {

namespace {

// Latitude digit of a destination byte, or -1 for a blanked (ambiguous) digit.
// '0'-'9', 'A'-'J' and 'P'-'Y' all carry a digit; 'K', 'L' and 'Z' a blank.
int latitudeDigit(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'J')
        return c - 'A';
    if (c >= 'P' && c <= 'Y')
        return c - 'P';
    return -1;
}

bool isLatitudeByte(char c, bool messageByte)
{
    // A..K are custom message bits, only in the first three bytes; M..O are never used.
    return isDigit(c) || c == 'L' || (c >= 'P' && c <= 'Z') || (messageByte && c >= 'A' && c <= 'K');
}

char messageBit(char c)
{
    if (c >= 'P' && c <= 'Z')
        return '1';
    if (c >= 'A' && c <= 'K')
        return '2';
    return '0';
}

QString messageName(const char bits[3])
{
    const int key = (bits[0] - '0') * 9 + (bits[1] - '0') * 3 + (bits[2] - '0');
    switch (key) {
    case 13: return QStringLiteral("Off Duty");    // 111
    case 12: return QStringLiteral("En Route");    // 110
    case 10: return QStringLiteral("In Service");  // 101
    case 9: return QStringLiteral("Returning");    // 100
    case 4: return QStringLiteral("Committed");    // 011
    case 3: return QStringLiteral("Special");      // 010
    case 1: return QStringLiteral("Priority");     // 001
    case 0: return QStringLiteral("Emergency");    // 000
    case 26: return QStringLiteral("Custom-0");    // 222
    case 24: return QStringLiteral("Custom-1");    // 220
    case 20: return QStringLiteral("Custom-2");    // 202
    case 18: return QStringLiteral("Custom-3");    // 200
    case 8: return QStringLiteral("Custom-4");     // 022
    case 6: return QStringLiteral("Custom-5");     // 020
    case 2: return QStringLiteral("Custom-6");     // 002
    default: return QStringLiteral("Unknown");     // standard and custom bits mixed
    }
}

}  // namespace

// T2SP0W:`(_fn"Oj/]"4R}=   is 32 02.00N 105 14.14W... one byte per field:
// longitude degrees, minutes and hundredths, then speed and course packed in
// three bytes, then symbol code and table.
const char *decodeMicE(DecodeState &state, std::string_view destination)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    p.positionFormat = PositionFormat::MicE;
    if (info.size() < 9 || destination.size() != 6)
        return "mice_short";
    for (int k = 0; k < 6; ++k) {
        if (!isLatitudeByte(destination[k], k < 3))
            return "mice_inv";
    }

    const bool bodyOk = inRange(info, 1, 0x26, 0x7f) && inRange(info, 2, 0x26, 0x61) && inRange(info, 3, 0x1c, 0x7f)
        && inRange(info, 4, 0x1c, 0x7f) && inRange(info, 5, 0x1c, 0x7d) && inRange(info, 6, 0x1c, 0x7f)
        && (inRange(info, 7, 0x21, 0x7b) || info[7] == 0x7d);
    const char table = info[8];
    const bool tableOk = table == '/' || table == '\\' || isUpper(table) || isDigit(table);
    if (!tableOk)
        return "sym_inv_table";
    if (!bodyOk)
        return "mice_inv_info";

    // Latitude digits, blanked ones only at the end.
    int digits[6];
    int ambiguity = 0;
    for (int k = 0; k < 6; ++k) {
        digits[k] = latitudeDigit(destination[k]);
        if (digits[k] < 0)
            ++ambiguity;
        else if (ambiguity > 0)
            return "mice_amb_inv";
    }
    if (ambiguity > 4)
        return "mice_amb_large";
    // The position is the centre of the box the blanked digits leave.
    for (int k = 6 - ambiguity; k < 6; ++k)
        digits[k] = (k == 6 - ambiguity) ? (ambiguity == 4 ? 3 : 5) : 0;
    const int latDeg = digits[0] * 10 + digits[1];
    const double latMin = digits[2] * 10 + digits[3] + digits[4] / 10.0 + digits[5] / 100.0;
    if (latDeg > 89 || latMin >= 60)
        return "mice_inv";
    double latitude = latDeg + latMin / 60;
    if (destination[3] <= 'L')
        latitude = -latitude;

    const char bits[3] = {messageBit(destination[0]), messageBit(destination[1]), messageBit(destination[2])};
    p.micEBits = QString::fromLatin1(bits, 3);
    p.micEMessage = messageName(bits);

    int lonDeg = byteAt(info, 1) - 28;
    if (destination[4] >= 'P')
        lonDeg += 100;
    if (lonDeg >= 180 && lonDeg <= 189)
        lonDeg -= 80;
    else if (lonDeg >= 190 && lonDeg <= 199)
        lonDeg -= 190;
    int lonMin = byteAt(info, 2) - 28;
    if (lonMin >= 60)
        lonMin -= 60;
    const int lonHundredths = byteAt(info, 3) - 28;
    double lonMinutes;
    switch (ambiguity) {
    case 0: lonMinutes = lonMin + lonHundredths / 100.0; break;
    case 1: lonMinutes = lonMin + (lonHundredths / 10) / 10.0 + 0.05; break;
    case 2: lonMinutes = lonMin + 0.5; break;
    case 3: lonMinutes = (lonMin / 10) * 10 + 5; break;
    default: lonMinutes = 30; break;
    }
    double longitude = lonDeg + lonMinutes / 60;
    if (destination[5] >= 'P')
        longitude = -longitude;

    p.hasPosition = true;
    p.latitudeDeg = latitude;
    p.longitudeDeg = longitude;
    p.ambiguity = ambiguity;
    p.positionResolutionM = resolutionMetres(2 - ambiguity);

    // Speed: hundreds and tens of knots, then units; course: hundreds, then tens and units.
    int speed = (byteAt(info, 4) - 28) * 10;
    const int dc = byteAt(info, 5) - 28;
    speed += dc / 10;
    int course = (dc % 10) * 100 + (byteAt(info, 6) - 28);
    if (speed >= 800)
        speed -= 800;
    if (course >= 400)
        course -= 400;
    if (course > 360)
        course = 0;  // hundreds digits 4-9 carry no course; 0 says "unknown"
    p.speedKmh = speed * units::knotToKmh;
    p.courseDeg = course;
    p.symbolCode = QChar(QLatin1Char(info[7]));
    p.symbolTable = QChar(QLatin1Char(table));

    std::size_t offset = 9;
    // Telemetry: '\'' and two hex bytes for channels 1 and 3, or '`' and five
    // hex bytes for channels 1-5. Some software sends a typographic quote
    // (U+2018, as printed in the protocol document) instead of '`'.
    auto hexRun = [&](std::size_t from, std::size_t count) {
        if (from + count > info.size())
            return false;
        for (std::size_t k = 0; k < count; ++k) {
            if (!isHexDigit(info[from + k]))
                return false;
        }
        return true;
    };
    auto hexByte = [&](std::size_t at) { return static_cast<double>(hexValue(info[at]) * 16 + hexValue(info[at + 1])); };
    if (offset < info.size() && info[offset] == '\'' && hexRun(offset + 1, 4)) {
        p.telemetryValues.assign(5, std::nullopt);
        p.telemetryValues[0] = hexByte(offset + 1);
        p.telemetryValues[2] = hexByte(offset + 3);
        offset += 5;
    } else {
        const std::size_t quote = info.substr(offset, 1) == "`" ? 1 : info.substr(offset, 3) == "\xE2\x80\x98" ? 3 : 0;
        if (quote > 0 && hexRun(offset + quote, 10)) {
            p.telemetryValues.assign(5, std::nullopt);
            for (std::size_t ch = 0; ch < 5; ++ch)
                p.telemetryValues[ch] = hexByte(offset + quote + 2 * ch);
            offset += quote + 10;
        }
    }

    // "xxx}": metres above a datum 10 km below sea level, base 91. It comes
    // first, or after the one-byte radio type (']' Kenwood, '`' Yaesu, ...).
    for (std::size_t at = offset; at <= offset + 1 && at + 4 <= info.size(); ++at) {
        if (info[at + 3] == '}' && inRange(info, at, 0x21, 0x7b) && inRange(info, at + 1, 0x21, 0x7b)
            && inRange(info, at + 2, 0x21, 0x7b)) {
            p.altitudeM = (byteAt(info, at) - 33) * 8281.0 + (byteAt(info, at + 1) - 33) * 91.0
                + (byteAt(info, at + 2) - 33) - 10000;
            offset = at + 4;
            break;
        }
    }
    decodeComment(state, offset, !p.altitudeM.has_value(), false);
    return nullptr;
}

}  // namespace aprs::detail

#include "aprs/MicEDecoder.h"

#include "aprs/ByteScan.h"
#include "aprs/PacketText.h"
#include "aprs/PositionDecoder.h"
#include "aprs/Units.h"

#include <algorithm>
#include <cmath>
#include <string>

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
    case 13:
        return QStringLiteral("Off Duty");  // 111
    case 12:
        return QStringLiteral("En Route");  // 110
    case 10:
        return QStringLiteral("In Service");  // 101
    case 9:
        return QStringLiteral("Returning");  // 100
    case 4:
        return QStringLiteral("Committed");  // 011
    case 3:
        return QStringLiteral("Special");  // 010
    case 1:
        return QStringLiteral("Priority");  // 001
    case 0:
        return QStringLiteral("Emergency");  // 000
    case 26:
        return QStringLiteral("Custom-0");  // 222
    case 24:
        return QStringLiteral("Custom-1");  // 220
    case 20:
        return QStringLiteral("Custom-2");  // 202
    case 18:
        return QStringLiteral("Custom-3");  // 200
    case 8:
        return QStringLiteral("Custom-4");  // 022
    case 6:
        return QStringLiteral("Custom-5");  // 020
    case 2:
        return QStringLiteral("Custom-6");  // 002
    default:
        return QStringLiteral("Unknown");  // standard and custom bits mixed
    }
}

// The destination "S32U6T" (bytes already checked with isLatitudeByte): six
// latitude digits, blanked ones only at the end, the message bits in the
// first three bytes, and in the last three the north, +100 degrees of
// longitude and west flags.
const char *decodeDestination(DecodeState &state, std::string_view destination, double &latitude, int &ambiguity)
{
    int digits[6];
    ambiguity = 0;
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
    latitude = latDeg + latMin / 60;
    if (destination[3] <= 'L')
        latitude = -latitude;

    Packet &p = state.packet;
    const char bits[3] = {messageBit(destination[0]), messageBit(destination[1]), messageBit(destination[2])};
    text::assignLatin1(p.micEBits, std::string_view(bits, 3));
    p.micEMessage = messageName(bits);
    return nullptr;
}

// Longitude from info[1..3], blanked as far as the latitude is: degrees,
// minutes and hundredths, each plus 28.
double longitudeOf(std::string_view info, std::string_view destination, int ambiguity)
{
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
    case 0:
        lonMinutes = lonMin + lonHundredths / 100.0;
        break;
    case 1:
        lonMinutes = lonMin + (lonHundredths / 10) / 10.0 + 0.05;
        break;
    case 2:
        lonMinutes = lonMin + 0.5;
        break;
    case 3:
        lonMinutes = (lonMin / 10) * 10 + 5;
        break;
    default:
        lonMinutes = 30;
        break;
    }
    const double longitude = lonDeg + lonMinutes / 60;
    return destination[5] >= 'P' ? -longitude : longitude;
}

// Speed: hundreds and tens of knots, then units; course: hundreds, then tens and units.
void decodeSpeedCourse(std::string_view info, Packet &p)
{
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
}

// Telemetry: '\'' and two hex bytes for channels 1 and 3, or '`' and five
// hex bytes for channels 1-5. Some software sends a typographic quote
// (U+2018, as printed in the protocol document) instead of '`'. Returns the
// offset after it.
std::size_t takeTelemetry(std::string_view info, std::size_t offset, Packet &p)
{
    auto hexRun = [&](std::size_t from, std::size_t count) {
        if (from + count > info.size())
            return false;
        for (std::size_t k = 0; k < count; ++k) {
            if (!isHexDigit(info[from + k]))
                return false;
        }
        return true;
    };
    auto hexByte = [&](std::size_t at) {
        return static_cast<double>(hexValue(info[at]) * 16 + hexValue(info[at + 1]));
    };
    if (offset < info.size() && info[offset] == '\'' && hexRun(offset + 1, 4)) {
        p.telemetryValues.assign(5, std::nullopt);
        p.telemetryValues[0] = hexByte(offset + 1);
        p.telemetryValues[2] = hexByte(offset + 3);
        return offset + 5;
    }
    const std::size_t quote = info.substr(offset, 1) == "`" ? 1 : info.substr(offset, 3) == "\xE2\x80\x98" ? 3 : 0;
    if (quote > 0 && hexRun(offset + quote, 10)) {
        p.telemetryValues.assign(5, std::nullopt);
        for (std::size_t ch = 0; ch < 5; ++ch)
            p.telemetryValues[ch] = hexByte(offset + quote + 2 * ch);
        return offset + quote + 10;
    }
    return offset;
}

// "xxx}": metres above a datum 10 km below sea level, base 91. Returns the
// offset after it.
std::size_t takeAltitude(std::string_view info, std::size_t offset, Packet &p)
{
    if (offset + 4 <= info.size() && info[offset + 3] == '}' && inRange(info, offset, 0x21, 0x7b)
        && inRange(info, offset + 1, 0x21, 0x7b) && inRange(info, offset + 2, 0x21, 0x7b)) {
        p.altitudeM = (byteAt(info, offset) - 33) * 8281.0 + (byteAt(info, offset + 1) - 33) * 91.0
            + (byteAt(info, offset + 2) - 33) - 10000;
        return offset + 4;
    }
    return offset;
}

// The radio type codes of Mic-E status text (APRS 1.2 "Mic-E type codes",
// aprs.org/aprs12/mic-e-types.txt, and the device list of the aprs.fi
// project, github.com/aprsorg/aprs-deviceid, tocalls.yaml "mice" and
// "micelegacy"). The first byte of the status text says what follows:
//   '>'  Kenwood TH-D7A; one last byte '=' makes it a TH-D72, '^' a TH-D74, '&' a TH-D75
//   ']'  Kenwood TM-D700; one last byte '=' makes it a TM-D710
//   '`'  a radio that can message, '\'' one that cannot: the last two bytes
//        name the maker and model ("_%" Yaesu FTM-400DR, "|3" Byonics TinyTrak3)
// Neither byte is part of what the operator typed: both leave the comment.
// A pair not in the list stays in the comment, as it may be text.
struct DeviceCode {
    const char *code;
    const char16_t *model;
};

constexpr DeviceCode twoByteCodes[] = {
    {"_ ", u"Yaesu VX-8"},
    {"_\"", u"Yaesu FTM-350"},
    {"_#", u"Yaesu VX-8G"},
    {"_$", u"Yaesu FT1D"},
    {"_(", u"Yaesu FT2D"},
    {"_0", u"Yaesu FT3D"},
    {"_3", u"Yaesu FT5D"},
    {"_1", u"Yaesu FTM-300D"},
    {"_2", u"Yaesu FTM-200D"},
    {"_4", u"Yaesu FTM-500D"},
    {"_)", u"Yaesu FTM-100D"},
    {"_%", u"Yaesu FTM-400DR"},
    {"(5", u"Anytone D578UV"},
    {"(8", u"Anytone D878UV"},
    {"|3", u"Byonics TinyTrak3"},
    {"|4", u"Byonics TinyTrak4"},
    {"^v", u"HinzTec anyfrog"},
    {"*v", u"KissOZ Tracker"},
    {":2", u"SQ8L VP-Tracker"},
};

QString staticText(const char16_t *text)
{
    // Points at the table's own characters: no copy, no allocation.
    return QString::fromRawData(
        reinterpret_cast<const QChar *>(text), static_cast<qsizetype>(std::char_traits<char16_t>::length(text)));
}

// Reads the type byte at offset (when it is one) and the device code at the
// end of the comment; returns where the comment ends. typeByte is set when
// the byte at offset is a type byte.
std::size_t takeRadioType(std::string_view info, std::size_t offset, bool &typeByte, Packet &p)
{
    typeByte = false;
    std::size_t end = info.size();
    if (offset >= end)
        return end;
    const char type = info[offset];
    if (type != '>' && type != ']' && type != '`' && type != '\'')
        return end;
    typeByte = true;
    const std::size_t text = offset + 1;
    // The device code is the last bytes sent; some senders pad with blanks.
    std::size_t last = end;
    const char *kenwood = type == '>' ? "TH-D7A" : type == ']' ? "TM-D700" : nullptr;
    if (kenwood) {
        const char finalByte = last > text ? info[last - 1] : '\0';
        if (type == '>' && (finalByte == '=' || finalByte == '^' || finalByte == '&')) {
            p.radioModel = finalByte == '=' ? staticText(u"Kenwood TH-D72")
                : finalByte == '^'          ? staticText(u"Kenwood TH-D74")
                                            : staticText(u"Kenwood TH-D75");
            return last - 1;
        }
        if (type == ']' && finalByte == '=') {
            p.radioModel = staticText(u"Kenwood TM-D710");
            return last - 1;
        }
        p.radioModel = type == '>' ? staticText(u"Kenwood TH-D7A") : staticText(u"Kenwood TM-D700");
        return end;
    }
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            while (last > text && info[last - 1] == ' ')
                --last;
            if (last == end)
                break;
        }
        if (last >= text + 2) {
            const std::string_view pair = info.substr(last - 2, 2);
            for (const DeviceCode &d : twoByteCodes) {
                if (pair == d.code) {
                    p.radioModel = staticText(d.model);
                    return last - 2;
                }
            }
        }
    }
    return end;
}

}  // namespace

// T2SP0W:`(_fn"Oj/]"4R}=   is 32 02.00N 105 14.14W... one byte per field:
// longitude degrees, minutes and hundredths, then speed and course packed in
// three bytes, then symbol code and table; then telemetry, the radio type,
// the altitude and the comment ("]...=" is a Kenwood TM-D710).
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
    if (!(table == '/' || table == '\\' || isUpper(table) || isDigit(table)))
        return "sym_inv_table";
    if (!bodyOk)
        return "mice_inv_info";

    double latitude = 0;
    int ambiguity = 0;
    if (const char *e = decodeDestination(state, destination, latitude, ambiguity))
        return e;
    p.hasPosition = true;
    p.latitudeDeg = latitude;
    p.longitudeDeg = longitudeOf(info, destination, ambiguity);
    p.ambiguity = ambiguity;
    p.positionResolutionM = resolutionMetres(2 - ambiguity);
    decodeSpeedCourse(info, p);
    p.symbolCode = QChar(QLatin1Char(info[7]));
    p.symbolTable = QChar(QLatin1Char(table));

    std::size_t offset = takeTelemetry(info, 9, p);
    bool typeByte = false;
    std::size_t end = takeRadioType(info, offset, typeByte, p);
    if (typeByte) {
        offset = takeAltitude(info, offset + 1, p);
    } else if (const std::size_t at = takeAltitude(info, offset, p); at != offset) {
        offset = at;
    } else if (const std::size_t after = takeAltitude(info, offset + 1, p); after != offset + 1) {
        offset = after;  // an unknown type byte, recognised only by the altitude after it
    }
    offset = std::min(offset, end);
    // A Kenwood TM-D710 fills its status text to length with 0xFF bytes
    // before its '=': fill, not text.
    while (end > offset && (byteAt(info, end - 1) == 0xff || info[end - 1] == ' '))
        --end;
    decodeComment(state, offset, end, !p.altitudeM.has_value(), false);
    return nullptr;
}

}  // namespace aprs::detail

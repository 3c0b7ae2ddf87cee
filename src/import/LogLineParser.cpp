#include "import/LogLineParser.h"

#include "road/JournalLine.h"

#include <QList>

#include <cmath>

namespace {

constexpr int FirstYear = 1990;
constexpr int LastYear = 2100;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// n digits at text[at], or -1.
int digitsAt(QByteArrayView text, qsizetype at, int n)
{
    if (at + n > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < n; ++i) {
        const char c = text[at + i];
        if (!isDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

qsizetype skipBlanks(QByteArrayView text, qsizetype at)
{
    while (at < text.size() && isBlank(text[at]))
        ++at;
    return at;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool allDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

// The fields of a CSV row; quoted fields lose their quotes, "" is one quote.
QList<QByteArray> csvFields(QByteArrayView row)
{
    QList<QByteArray> fields;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted) {
            if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

QByteArray degreesMinutes(double value, int degreeDigits, char positive, char negative)
{
    const char hemisphere = value < 0 ? negative : positive;
    value = std::fabs(value);
    int degrees = int(value);
    int hundredths = int(std::lround((value - degrees) * 6000.0));
    if (hundredths >= 6000) {
        ++degrees;
        hundredths -= 6000;
    }
    return QByteArray::number(degrees).rightJustified(degreeDigits, '0')
        + QByteArray::number(hundredths / 100).rightJustified(2, '0') + '.'
        + QByteArray::number(hundredths % 100).rightJustified(2, '0') + hemisphere;
}

}  // namespace

bool LogLineParser::looksLikeTnc2(QByteArrayView line)
{
    // The decoder judges the callsign, as it does for a live feed; here only
    // a source without blanks ("K6IFR_S" is an APRS-IS source too) tells a
    // packet from an aprx port name and direction.
    const qsizetype arrow = line.indexOf('>');
    if (arrow < 1 || arrow > 32)
        return false;
    for (qsizetype i = 0; i < arrow; ++i) {
        const char c = line[i];
        if (c <= ' ' || c == ':' || c > '~')
            return false;
    }
    const qsizetype colon = line.indexOf(':', arrow);
    return colon > arrow + 1;
}

QByteArray LogLineParser::unescapeAprx(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '<' && i + 5 < text.size() && text[i + 1] == '0' && (text[i + 2] == 'x' || text[i + 2] == 'X')) {
            // <0xNN>, or <0xffffffNN> where aprx printed a signed char.
            qsizetype digitsAt = i + 3;
            if (i + 11 < text.size() && text.sliced(digitsAt, 6).compare("ffffff", Qt::CaseInsensitive) == 0
                && text[i + 11] == '>')
                digitsAt += 6;
            const int high = hexValue(text[digitsAt]);
            const int low = digitsAt + 2 < text.size() ? hexValue(text[digitsAt + 1]) : -1;
            if (high >= 0 && low >= 0 && text[digitsAt + 2] == '>') {
                out += char(high * 16 + low);
                i = digitsAt + 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString LogLineParser::formatName(Format format)
{
    switch (format) {
    case Format::None:
        return QStringLiteral("no packet lines");
    case Format::Tnc2:
        return QStringLiteral("TNC2 lines");
    case Format::AprsIs:
        return QStringLiteral("APRS-IS capture");
    case Format::StampedTnc2:
        return QStringLiteral("TNC2 lines with time stamps");
    case Format::Aprx:
        return QStringLiteral("aprx rf log");
    case Format::Journal:
        return QStringLiteral("packet journal");
    case Format::DireWolf:
        return QStringLiteral("Dire Wolf log");
    }
    return {};
}

QDateTime LogLineParser::localToUtc(const QDate &date, const QTime &time) const
{
    const qint64 wallMs = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    const qint64 hour = wallMs >= 0 ? wallMs / 3'600'000 : (wallMs - 3'599'999) / 3'600'000;
    if (hour != mCachedHour) {
        const auto offsetAt = [](qint64 utcMs) { return QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc(); };
        // The offsets a day before and a day after: no zone changes twice in two days.
        const int before = offsetAt(wallMs - 86'400'000);
        const int after = offsetAt(wallMs + 86'400'000);
        const bool beforeFits = offsetAt(wallMs - before * 1000LL) == before;
        const bool afterFits = offsetAt(wallMs - after * 1000LL) == after;
        int offset = before;  // the gap: the offset before it, which moves the time forward by the gap
        if (beforeFits && afterFits)
            offset = std::max(before, after);  // the overlap: its first occurrence
        else if (afterFits)
            offset = after;
        mCachedHour = hour;
        mCachedOffset = offset;
    }
    return QDateTime(date, time, Qt::OffsetFromUTC, mCachedOffset);
}

LogLineParser::Stamp LogLineParser::readStamp(QByteArrayView text, qsizetype &length, QDateTime &result) const
{
    // 2024-05-06 14:30:00
    const int year = digitsAt(text, 0, 4);
    const int month = digitsAt(text, 5, 2);
    const int day = digitsAt(text, 8, 2);
    const int hour = digitsAt(text, 11, 2);
    const int minute = digitsAt(text, 14, 2);
    const int second = digitsAt(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 || text[4] != '-' || text[7] != '-'
        || (text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':')
        return Stamp::None;
    qsizetype at = 19;
    int millis = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        int scale = 100;
        while (at < text.size() && isDigit(text[at])) {
            millis += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
    }
    enum { Unzoned, Utc, Offset } zone = Unzoned;
    int offsetSeconds = 0;
    if (at < text.size() && text[at] == 'Z') {
        zone = Utc;
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int offsetHours = digitsAt(text, at + 1, 2);
        const qsizetype minutesAt = at + 3 < text.size() && text[at + 3] == ':' ? at + 4 : at + 3;
        const int offsetMinutes = digitsAt(text, minutesAt, 2);
        if (offsetHours < 0 || offsetMinutes < 0)
            return Stamp::None;
        if (offsetHours > 14 || offsetMinutes > 59)
            return Stamp::Bad;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (text[at] == '-' ? -1 : 1);
        zone = Offset;
        at = minutesAt + 2;
    }
    length = at;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millis);
    if (!date.isValid() || !time.isValid() || year < FirstYear || year > LastYear)
        return Stamp::Bad;
    if (zone == Utc || (zone == Unzoned && mStampSpec == Qt::UTC))
        result = QDateTime(date, time, Qt::UTC);
    else if (zone == Offset)
        result = QDateTime(date, time, Qt::OffsetFromUTC, offsetSeconds);
    else
        result = localToUtc(date, time);
    return Stamp::Valid;
}

LogLineParser::Line LogLineParser::parseDireWolf(QByteArrayView text) const
{
    Line line;
    line.format = Format::DireWolf;
    const QList<QByteArray> f = csvFields(text);
    enum { Chan, Utime, Isotime, Source, Heard, Level, Error, Dti, Name, Symbol, Lat, Lon, Speed, Course, Altitude };
    constexpr int Comment = 21;
    if (f.size() <= Comment) {
        line.reason = QStringLiteral("not a TNC2 line");
        return line;
    }
    qsizetype length = 0;
    if (readStamp(f[Isotime], length, line.time) != Stamp::Valid || length != f[Isotime].size()) {
        line.kind = Kind::BadTime;
        line.reason = QStringLiteral("bad time stamp");
        line.time = {};
        return line;
    }
    if (f[Lat].isEmpty() || f[Lon].isEmpty() || f[Symbol].size() != 2) {
        // No position: Dire Wolf keeps no packet text to rebuild it from.
        line.kind = Kind::Skipped;
        return line;
    }
    bool latOk = false, lonOk = false;
    const double lat = f[Lat].toDouble(&latOk);
    const double lon = f[Lon].toDouble(&lonOk);
    // A position off the globe would overflow its degrees.
    if (!latOk || !lonOk || !(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 180)) {
        line.reason = QStringLiteral("not a TNC2 line");
        return line;
    }
    QByteArray position =
        degreesMinutes(lat, 2, 'N', 'S') + f[Symbol][0] + degreesMinutes(lon, 3, 'E', 'W') + f[Symbol][1];
    bool speedOk = false, courseOk = false;
    const double knots = f[Speed].toDouble(&speedOk);
    const double course = f[Course].toDouble(&courseOk);
    // A speed, course or altitude no station reports is left out rather than
    // written as a number it does not fit.
    speedOk = speedOk && knots >= 0 && knots < 1000;
    courseOk = courseOk && course >= 0 && course <= 360;
    if (speedOk && courseOk) {
        const int degrees = int(std::lround(course)) % 360;
        position += QByteArray::number(degrees == 0 ? 360 : degrees).rightJustified(3, '0') + '/'
            + QByteArray::number(int(std::lround(knots))).rightJustified(3, '0');
    }
    bool altitudeOk = false;
    const double metres = f[Altitude].toDouble(&altitudeOk);
    if (altitudeOk && std::fabs(metres) < 1e6)
        position += "/A=" + QByteArray::number(int(std::lround(metres / 0.3048))).rightJustified(6, '0');
    position += f[Comment];
    const QByteArray &source = f[Source];
    const QByteArray &name = f[Name];
    // An object or item carries its own name; Dire Wolf logs it in "name".
    if (!name.isEmpty() && name != source && name.size() >= 3 && name.size() <= 9)
        line.packet = source + ">APRS:)" + name + '!' + position;
    else
        line.packet = source + ">APRS:!" + position;
    if (!looksLikeTnc2(line.packet)) {
        line.packet.clear();
        line.reason = QStringLiteral("not a TNC2 line");
        return line;
    }
    if (line.packet.size() > MaxPacketBytes) {
        line.packet.clear();
        line.kind = Kind::TooLong;
        line.reason = QStringLiteral("too long (over %1 bytes)").arg(MaxPacketBytes);
        return line;
    }
    line.kind = Kind::Packet;
    return line;
}

LogLineParser::Line LogLineParser::parse(QByteArrayView raw) const
{
    Line line;
    // Line ends of any system, and blanks around the line.
    qsizetype end = raw.size();
    while (end > 0 && (raw[end - 1] == '\n' || raw[end - 1] == '\r' || isBlank(raw[end - 1])))
        --end;
    qsizetype start = skipBlanks(raw, 0);
    if (start >= end) {
        line.kind = Kind::Skipped;
        return line;
    }
    if (raw[start] == '#') {
        line.kind = Kind::Skipped;
        line.format = Format::AprsIs;
        return line;
    }
    QByteArrayView text = raw.sliced(start, end - start);
    line.reason = QStringLiteral("not a TNC2 line");

    if (text.startsWith("chan,utime,isotime,")) {
        line.kind = Kind::Skipped;
        line.format = Format::DireWolf;
        return line;
    }
    if (isDigit(text[0])) {
        if (const auto entry = JournalLine::parse(text)) {
            const int year = entry->heardAtUtc.date().year();
            if (year >= FirstYear && year <= LastYear && looksLikeTnc2(entry->packet)) {
                line.kind = entry->packet.size() > MaxPacketBytes ? Kind::TooLong : Kind::Packet;
                line.format = Format::Journal;
                line.time = entry->heardAtUtc;
                line.radioPort = entry->radioPort;
                if (line.kind == Kind::TooLong) {
                    line.reason = QStringLiteral("too long (over %1 bytes)").arg(MaxPacketBytes);
                    return line;
                }
                line.packet = entry->packet.toByteArray();
                line.reason.clear();
                return line;
            }
        }
        const qsizetype comma = text.indexOf(',');
        const qsizetype second = comma > 0 ? text.indexOf(',', comma + 1) : -1;
        if (second > 0 && allDigits(text.first(comma)) && allDigits(text.sliced(comma + 1, second - comma - 1))
            && digitsAt(text, second + 1, 4) >= 0)
            return parseDireWolf(text);
    }

    qsizetype stampLength = 0;
    QDateTime stamp;
    const Stamp found = readStamp(text, stampLength, stamp);
    if (found == Stamp::Bad) {
        line.kind = Kind::BadTime;
        line.reason = QStringLiteral("bad time stamp");
        return line;
    }
    QByteArray unescaped;
    line.format = Format::Tnc2;
    if (found == Stamp::Valid) {
        if (stampLength >= text.size() || !isBlank(text[stampLength]))
            return line;
        text = text.sliced(skipBlanks(text, stampLength));
        line.time = stamp;
        line.format = Format::StampedTnc2;
        if (!looksLikeTnc2(text)) {
            // aprx: a port name, then the direction.
            qsizetype at = 0;
            while (at < text.size() && !isBlank(text[at]))
                ++at;
            at = skipBlanks(text, at);
            if (at + 1 < text.size() && isBlank(text[at + 1])) {
                const char direction = text[at];
                if (direction == 'T' || direction == 'd') {
                    line.kind = Kind::Skipped;
                    line.format = Format::Aprx;
                    line.reason.clear();
                    return line;
                }
                if (direction == 'R') {
                    line.format = Format::Aprx;
                    unescaped = unescapeAprx(text.sliced(skipBlanks(text, at + 1)));
                    text = unescaped;
                }
            }
        }
    }
    if (!looksLikeTnc2(text)) {
        line.format = Format::None;
        return line;
    }
    if (text.size() > MaxPacketBytes) {
        line.kind = Kind::TooLong;
        line.reason = QStringLiteral("too long (over %1 bytes)").arg(MaxPacketBytes);
        return line;
    }
    line.kind = Kind::Packet;
    line.reason.clear();
    line.packet = text.toByteArray();
    return line;
}

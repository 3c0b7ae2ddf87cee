#include "import/LogLineParser.h"

namespace {

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

QDateTime LogLineParser::readStamp(QByteArrayView text, qsizetype &length) const
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
        return {};
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
    Qt::TimeSpec spec = mStampSpec;
    int offsetSeconds = 0;
    if (at < text.size() && text[at] == 'Z') {
        spec = Qt::UTC;
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int offsetHours = digitsAt(text, at + 1, 2);
        const qsizetype minutesAt = at + 3 < text.size() && text[at + 3] == ':' ? at + 4 : at + 3;
        const int offsetMinutes = digitsAt(text, minutesAt, 2);
        if (offsetHours < 0 || offsetMinutes < 0)
            return {};
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (text[at] == '-' ? -1 : 1);
        spec = Qt::OffsetFromUTC;
        at = minutesAt + 2;
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millis);
    if (!date.isValid() || !time.isValid())
        return {};
    length = at;
    return QDateTime(date, time, spec, offsetSeconds);
}

LogLineParser::Line LogLineParser::parse(QByteArrayView raw) const
{
    Line line;
    // Line ends of any system, and blanks around the line.
    qsizetype end = raw.size();
    while (end > 0 && (raw[end - 1] == '\n' || raw[end - 1] == '\r' || isBlank(raw[end - 1])))
        --end;
    qsizetype start = skipBlanks(raw, 0);
    if (start >= end || raw[start] == '#') {
        line.kind = Kind::Skipped;
        return line;
    }
    QByteArrayView text = raw.sliced(start, end - start);

    qsizetype stampLength = 0;
    const QDateTime stamp = readStamp(text, stampLength);
    if (stamp.isValid()) {
        if (stampLength >= text.size() || !isBlank(text[stampLength]))
            return line;
        text = text.sliced(skipBlanks(text, stampLength));
        line.time = stamp;
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
                    return line;
                }
                if (direction == 'R')
                    text = text.sliced(skipBlanks(text, at + 1));
            }
        }
    }
    if (!looksLikeTnc2(text))
        return line;
    line.kind = Kind::Packet;
    line.packet = text.toByteArray();
    return line;
}

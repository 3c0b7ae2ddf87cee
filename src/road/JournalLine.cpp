#include "road/JournalLine.h"

#include <charconv>

namespace {

// "YYYY-MM-DDTHH:MM:SS.mmmZ"
constexpr qsizetype StampLength = 24;

bool digitsAt(QByteArrayView text, qsizetype at, qsizetype count, int &value)
{
    const char *first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + count, value);
    return error == std::errc() && end == first + count && value >= 0;
}

}  // namespace

namespace JournalLine {

QByteArray format(const QDateTime &heardAt, qint16 radioPort, QByteArrayView packet)
{
    QByteArray line = heardAt.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")).toLatin1();
    line += ' ';
    line += QByteArray::number(radioPort);
    line += ' ';
    line += packet;
    line += '\n';
    return line;
}

std::optional<Entry> parse(QByteArrayView line)
{
    while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
        line.chop(1);
    if (line.size() < StampLength + 3)
        return std::nullopt;
    const char *s = line.data();
    if (s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':' || s[19] != '.' || s[23] != 'Z'
        || s[24] != ' ')
        return std::nullopt;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (!digitsAt(line, 0, 4, year) || !digitsAt(line, 5, 2, month) || !digitsAt(line, 8, 2, day)
        || !digitsAt(line, 11, 2, hour) || !digitsAt(line, 14, 2, minute) || !digitsAt(line, 17, 2, second)
        || !digitsAt(line, 20, 3, ms))
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, ms);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;

    const qsizetype portStart = StampLength + 1;
    const qsizetype portEnd = line.indexOf(' ', portStart);
    int port = 0;
    if (portEnd <= portStart || portEnd - portStart > 5 || !digitsAt(line, portStart, portEnd - portStart, port)
        || port > 32767)
        return std::nullopt;

    Entry entry;
    entry.heardAtUtc = QDateTime(date, time, Qt::UTC);
    entry.radioPort = qint16(port);
    entry.packet = line.sliced(portEnd + 1);
    if (entry.packet.isEmpty())
        return std::nullopt;
    return entry;
}

}  // namespace JournalLine

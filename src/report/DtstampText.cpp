#include "report/DtstampText.h"

#include <QDate>

namespace {

bool digits(QStringView text, qsizetype at, qsizetype count, int &value)
{
    value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + int(c - u'0');
    }
    return true;
}

}  // namespace

bool parseDtstamp(QStringView text, qint64 &seconds)
{
    // Parsed by position: a report reads it once for every row.
    if (text.size() < 19 || text.at(4) != u'-' || text.at(7) != u'-' || (text.at(10) != u' ' && text.at(10) != u'T')
        || text.at(13) != u':' || text.at(16) != u':')
        return false;
    if (text.size() > 19 && text.at(19) != u'.')
        return false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digits(text, 0, 4, year) || !digits(text, 5, 2, month) || !digits(text, 8, 2, day)
        || !digits(text, 11, 2, hour) || !digits(text, 14, 2, minute) || !digits(text, 17, 2, second))
        return false;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return false;
    seconds = (date.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

qint64 dtstampSeconds(const QDateTime &time)
{
    return (time.date().toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400
        + time.time().msecsSinceStartOfDay() / 1000;
}

QString dtstampText(qint64 seconds)
{
    qint64 days = seconds / 86400;
    qint64 rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    const QDate date = QDate(1970, 1, 1).addDays(days);
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(rest / 3600, 2, 10, QLatin1Char('0'))
        .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(rest % 60, 2, 10, QLatin1Char('0'));
}

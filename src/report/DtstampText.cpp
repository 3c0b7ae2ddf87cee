#include "report/DtstampText.h"

#include <QByteArrayView>
#include <QDate>

namespace {

char16_t unitAt(QStringView text, qsizetype i)
{
    return text.at(i).unicode();
}

char16_t unitAt(QByteArrayView text, qsizetype i)
{
    return char16_t(uchar(text.at(i)));
}

template <typename View>
bool digits(View text, qsizetype at, qsizetype count, int &value)
{
    value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = unitAt(text, i);
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + int(c - u'0');
    }
    return true;
}

}  // namespace

namespace {

// Parsed by position: a report reads it once for every row, as the driver's
// UTF-8 or UTF-16 text.
template <typename View>
bool parseView(View text, qint64 &seconds)
{
    const auto at = [&text](qsizetype i) { return unitAt(text, i); };
    if (text.size() < 19 || at(4) != u'-' || at(7) != u'-' || (at(10) != u' ' && at(10) != u'T') || at(13) != u':'
        || at(16) != u':')
        return false;
    if (text.size() > 19 && at(19) != u'.')
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

}  // namespace

bool parseDtstamp(QAnyStringView text, qint64 &seconds)
{
    if (text.size() > 0 && text.size_bytes() == 2 * text.size())  // UTF-16
        return parseView(QStringView(static_cast<const char16_t *>(text.data()), text.size()), seconds);
    // Latin-1 or UTF-8: the digits and separators are single bytes.
    return parseView(QByteArrayView(static_cast<const char *>(text.data()), text.size()), seconds);
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

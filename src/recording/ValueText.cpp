#include "recording/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

qint16 isTrue(HostBool value)
{
    return value == HostTrue ? 1 : 0;
}

QString singleText(float value)
{
    if (!std::isfinite(value))
        throw std::domain_error("not a number: no column takes NaN or an infinity");
    if (value == 0)
        return QStringLiteral("0");  // also -0, which would otherwise keep its sign
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    return text.replace(QLatin1Char('e'), QLatin1Char('E'));
}

QString integerText(qint16 value)
{
    return QString::number(value);
}

QString timestampText(const QDateTime &timestamp)
{
    if (!timestamp.isValid())
        return QString();
    const QDate date = timestamp.date();
    const QTime time = timestamp.time();
    // Written digit by digit: this runs twice for every beacon, and a
    // formatting call costs more than the rest of the statement.
    char text[24];
    char *end = text + sizeof text;
    char *p = end;
    auto put = [&p](int value, int digits, char before) {
        for (int i = 0; i < digits; ++i) {
            *--p = char('0' + value % 10);
            value /= 10;
        }
        if (before)
            *--p = before;
    };
    put(time.second(), 2, ':');
    put(time.minute(), 2, ':');
    put(time.hour(), 2, ' ');
    put(date.day(), 2, '-');
    put(date.month(), 2, '-');
    const int year = date.year();
    if (year < 0 || year > 9999) {
        // Outside four digits: plain decimal, as the date carries it.
        const QByteArray yearText = QByteArray::number(year);
        return QString::fromLatin1(yearText) + QString::fromLatin1(p, end - p);
    }
    put(year, 4, 0);
    return QString::fromLatin1(p, end - p);
}

namespace {

QString apostrophesDoubled(const QString &text)
{
    if (!text.contains(QLatin1Char('\'')))
        return text;
    QString doubled = text;
    return doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
}

}  // namespace

QString literalText(const QString &text, SqlDialect dialect)
{
    if (dialect == SqlDialect::BackslashEscapes && text.contains(QLatin1Char('\\'))) {
        QString escaped = text;
        return apostrophesDoubled(escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")));
    }
    return apostrophesDoubled(text);
}

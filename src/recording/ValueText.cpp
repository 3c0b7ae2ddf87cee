#include "recording/ValueText.h"

#include <charconv>
#include <cstdio>

qint16 isTrue(HostBool value)
{
    return value == HostTrue ? 1 : 0;
}

QString singleText(float value)
{
    if (value == 0)
        return QStringLiteral("0"); // also -0, which would otherwise keep its sign
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
    // Written field by field: this runs twice for every beacon.
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(),
                                     date.day(), time.hour(), time.minute(), time.second());
    return QString::fromLatin1(text, qMin(length, int(sizeof text) - 1));
}

QString apostrophesDoubled(const QString &text)
{
    if (!text.contains(QLatin1Char('\'')))
        return text;
    QString doubled = text;
    return doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString literalText(const QString &text, SqlDialect dialect)
{
    if (dialect == SqlDialect::MySql && text.contains(QLatin1Char('\\'))) {
        QString escaped = text;
        return apostrophesDoubled(escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")));
    }
    return apostrophesDoubled(text);
}

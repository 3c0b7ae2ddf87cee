#include "recording/ValueText.h"

#include <QLocale>
#include <charconv>

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
    return QLocale::c().toString(timestamp, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
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

#include "report/ReportPeriod.h"

#include "report/DtstampText.h"

#include <QRegularExpression>
#include <stdexcept>

namespace {

std::optional<qint64> parseBound(const QString &text, qint64 nowSeconds, const char *option)
{
    static const QRegularExpression span(QStringLiteral("^(\\d{1,6})([mhdw])$"));
    const QRegularExpressionMatch spanMatch = span.match(text);
    if (spanMatch.hasMatch()) {
        const qint64 count = spanMatch.captured(1).toLongLong();
        const char16_t unit = spanMatch.captured(2).at(0).unicode();
        const qint64 unitSeconds = unit == u'm' ? 60 : unit == u'h' ? 3600 : unit == u'd' ? 86400 : 7 * 86400;
        return nowSeconds - count * unitSeconds;
    }
    // A date alone is its midnight; seconds may be left out.
    QString full = text.trimmed();
    if (full.size() == 10)
        full += QStringLiteral(" 00:00:00");
    else if (full.size() == 16)
        full += QStringLiteral(":00");
    qint64 seconds = 0;
    if (!parseDtstamp(full, seconds))
        throw std::invalid_argument(QStringLiteral("%1 \"%2\": give a span back from now (90m, 24h, 7d, 2w) or a "
                                                   "time (YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS])")
                                        .arg(QLatin1String(option), text)
                                        .toStdString());
    return seconds;
}

}  // namespace

ReportPeriod ReportPeriod::parse(const QString &since, const QString &until, qint64 nowSeconds)
{
    ReportPeriod period;
    if (since != QLatin1String("all"))
        period.mStart = parseBound(since, nowSeconds, "--since");
    if (!until.isEmpty())
        period.mEnd = parseBound(until, nowSeconds, "--until");
    if (period.mStart && period.mEnd && *period.mEnd <= *period.mStart)
        throw std::invalid_argument(QStringLiteral("--until %1 is not after --since %2")
                                        .arg(dtstampText(*period.mEnd), dtstampText(*period.mStart))
                                        .toStdString());
    return period;
}

QString ReportPeriod::whereClause(const QString &column) const
{
    QStringList conditions;
    if (mStart)
        conditions << QStringLiteral("%1 >= '%2'").arg(column, dtstampText(*mStart));
    if (mEnd)
        conditions << QStringLiteral("%1 < '%2'").arg(column, dtstampText(*mEnd));
    return conditions.isEmpty() ? QString() : QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
}

QString ReportPeriod::describe() const
{
    if (mStart && mEnd)
        return QStringLiteral("%1 to %2").arg(dtstampText(*mStart), dtstampText(*mEnd));
    if (mStart)
        return QStringLiteral("since %1").arg(dtstampText(*mStart));
    if (mEnd)
        return QStringLiteral("before %1").arg(dtstampText(*mEnd));
    return QStringLiteral("every row");
}

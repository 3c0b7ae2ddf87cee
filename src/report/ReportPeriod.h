#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The span of time a report covers, in the time base of the stored rows, as
// seconds counted by DtstampText. The start is inclusive, the end exclusive.
class ReportPeriod
{
public:
    // since: "all", a span back from now ("90m", "24h", "7d", "2w"), or a
    // time "YYYY-MM-DD[ HH:MM[:SS]]"; until: empty for no end, or the same
    // forms but "all". nowSeconds is the current time in the rows' time base.
    // Throws std::invalid_argument with a message for the user.
    static ReportPeriod parse(const QString &since, const QString &until, qint64 nowSeconds);

    std::optional<qint64> start() const { return mStart; }
    std::optional<qint64> end() const { return mEnd; }

    // " where column >= '…' and column < '…'", or empty for all rows.
    QString whereClause(const QString &column) const;
    // "2026-12-06 09:00:00 to 2026-12-07 09:00:00", "all rows", ...
    QString describe() const;

private:
    std::optional<qint64> mStart;
    std::optional<qint64> mEnd;
};

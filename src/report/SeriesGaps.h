#pragma once

#include <QList>
#include <QtGlobal>

// Where a weather station's chart lines break: a station that was not
// heard for a day has no readings for that day, and a straight line across
// it would draw weather that never was.
class SeriesGaps
{
public:
    // A gap shorter than this never breaks a line: a station beaconing every
    // half hour may well miss a few.
    static constexpr qint64 MinGapSeconds = 2 * 3600;
    // A gap longer than this always does: however seldom a station is
    // heard, a line never spans a night without readings.
    static constexpr qint64 MaxGapSeconds = 6 * 3600;
    // In between a gap breaks the line when it is this many times the
    // station's usual interval (the median).
    static constexpr int UsualIntervals = 4;

    // The indices of the readings that begin a new line (never 0), times in
    // order, in seconds.
    static QList<qsizetype> breaks(const QList<qint64> &times);
};

#include "report/SeriesGaps.h"

#include <algorithm>
#include <vector>

QList<qsizetype> SeriesGaps::breaks(const QList<qint64> &times)
{
    QList<qsizetype> result;
    if (times.size() < 2)
        return result;
    std::vector<qint64> intervals;
    intervals.reserve(times.size() - 1);
    for (qsizetype i = 1; i < times.size(); ++i)
        intervals.push_back(times.at(i) - times.at(i - 1));
    std::vector<qint64> sorted = intervals;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const qint64 usual = sorted[sorted.size() / 2];
    const qint64 limit = std::clamp(usual * UsualIntervals, MinGapSeconds, MaxGapSeconds);
    for (qsizetype i = 0; i < qsizetype(intervals.size()); ++i)
        if (intervals[i] > limit)
            result << i + 1;
    return result;
}

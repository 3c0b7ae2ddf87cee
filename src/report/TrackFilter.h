#pragma once

#include "report/ReportData.h"

#include <QList>

// Which positions of a station belong on the map. A beacon sent without a
// GPS fix says 0° 0° (a point in the Gulf of Guinea), and a corrupt or
// mistyped one may put a car a continent away for one beacon: neither is
// drawn as part of a track, nor counts when the map fits its stations.
class TrackFilter
{
public:
    // Faster than any station on the ground or in an airliner.
    static constexpr double MaxSpeedKmh = 1000;

    // 0° 0°, give or take what the stored minutes of arc round to.
    static bool isNoFix(double latitudeDeg, double longitudeDeg);
    // Great-circle distance.
    static double distanceKm(const TrackPoint &a, const TrackPoint &b);

    // The points of a track, in time order, that a station can have been
    // at: without 0° 0°, and without a point it could only have reached
    // faster than MaxSpeedKmh from the point kept before it. When the points
    // after such a jump agree with each other, the station really went
    // there (a car carried on a ferry, a tracker switched on elsewhere): they
    // are kept and begin a new segment (breakBefore), so no line is drawn
    // across the jump. rejected counts the points left out.
    static QList<TrackPoint> plausible(const QList<TrackPoint> &points, qsizetype *rejected = nullptr);
};

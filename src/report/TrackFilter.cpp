#include "report/TrackFilter.h"

#include <algorithm>
#include <cmath>

namespace {

// Two beacons in the same second are taken as one second apart.
bool reachable(const TrackPoint &from, const TrackPoint &to)
{
    const double hours = double(std::max<qint64>(1, std::llabs(to.seconds - from.seconds))) / 3600.0;
    return TrackFilter::distanceKm(from, to) / hours <= TrackFilter::MaxSpeedKmh;
}

}  // namespace

bool TrackFilter::isNoFix(double latitudeDeg, double longitudeDeg)
{
    // Stored in minutes of arc with two decimals.
    return std::fabs(latitudeDeg) < 0.0001 && std::fabs(longitudeDeg) < 0.0001;
}

double TrackFilter::distanceKm(const TrackPoint &a, const TrackPoint &b)
{
    constexpr double EarthRadiusKm = 6371.0;
    constexpr double Radians = M_PI / 180.0;
    const double lat1 = a.latitudeDeg * Radians, lat2 = b.latitudeDeg * Radians;
    const double dLat = lat2 - lat1, dLon = (b.longitudeDeg - a.longitudeDeg) * Radians;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * EarthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
}

QList<TrackPoint> TrackFilter::plausible(const QList<TrackPoint> &points, qsizetype *rejected)
{
    QList<TrackPoint> kept;
    kept.reserve(points.size());
    qsizetype left = 0;
    // The latest point after a jump, held back until the next one shows
    // whether the station is really there.
    std::optional<TrackPoint> pending;
    for (const TrackPoint &point : points) {
        if (isNoFix(point.latitudeDeg, point.longitudeDeg)) {
            ++left;
            continue;
        }
        TrackPoint next = point;
        next.breakBefore = false;
        if (kept.isEmpty() || reachable(kept.last(), next)) {
            if (pending) {
                ++left;  // a single point out there, and back again
                pending.reset();
            }
            kept.append(next);
        } else if (pending && reachable(*pending, next)) {
            pending->breakBefore = true;
            kept.append(*pending);
            kept.append(next);
            pending.reset();
        } else {
            if (pending)
                ++left;
            pending = next;
        }
    }
    if (pending)
        ++left;
    if (rejected)
        *rejected = left;
    return kept;
}

#include "recording/BeaconKey.h"

#include <algorithm>
#include <cmath>

namespace {

bool near(double a, double b)
{
    // Seven significant digits are written; a millionth of that is noise.
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::max(std::abs(a), std::abs(b)));
}

}  // namespace

bool BeaconKey::samePosition(double latitudeMin, double longitudeMin) const
{
    return near(latitude, latitudeMin) && near(longitude, longitudeMin);
}

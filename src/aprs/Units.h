#pragma once

// Unit conversions to the metric units of Packet.
namespace aprs::units {

inline constexpr double knotToKmh = 1.852;
inline constexpr double knotToMs = 1.852 / 3.6;
inline constexpr double mileToKm = 1.609344;
inline constexpr double mphToMs = 0.44704;
inline constexpr double kmhToMs = 1 / 3.6;
inline constexpr double msToKmh = 3.6;
inline constexpr double footToMetre = 0.3048;
inline constexpr double inchToMm = 25.4;
inline constexpr double hundredthInchToMm = 0.254;

inline constexpr double fahrenheitToCelsius(double f)
{
    return (f - 32) * 5 / 9;
}

}  // namespace aprs::units

#include "recording/CoordinateText.h"

#include "recording/DecimalText.h"

#include <QtGlobal>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace {

QString fallbackText(bool Lat, bool withDot)
{
    if (Lat)
        return withDot ? QStringLiteral("00.00.00N") : QStringLiteral("0000.00N");
    return withDot ? QStringLiteral("000.00.00W") : QStringLiteral("00000.00W");
}

// Nothing when the value is not a finite number.
std::optional<QString> convert(double LatORLonDecimal, bool Lat, bool withDot)
{
    if (!qIsFinite(LatORLonDecimal))
        return std::nullopt;

    const bool negative = LatORLonDecimal < 0;
    const double a = std::fabs(LatORLonDecimal);

    // Rounding to 7 places before the minutes are taken lets 51.99999999
    // carry into the degrees instead of showing 60 minutes.
    std::string t = roundedDecimalString(a, 7);
    if (t.find('.') == std::string::npos)
        t += ".0000";
    const size_t point = t.find('.');

    std::string degrees = t.substr(0, point);
    if (withDot)
        degrees += '.';
    const size_t width = Lat ? (withDot ? 3 : 2) : (withDot ? 4 : 3);
    if (degrees.size() < width)
        degrees.insert(0, width - degrees.size(), '0');

    // Parsed as C text, so a decimal-comma locale changes nothing.
    const std::string fractionText = "0." + t.substr(point + 1);
    double fraction = 0;
    const char *fractionEnd = fractionText.data() + fractionText.size();
    const auto parsed = std::from_chars(fractionText.data(), fractionEnd, fraction);
    if (parsed.ec != std::errc() || parsed.ptr != fractionEnd)
        return std::nullopt;

    // Minutes / 1000, so the text reads "0.0MMhh...": the 12-place rounding
    // hides the binary noise of 0.502 / 1000 * 60 = 0.030119999999999997.
    const double x = std::round(fraction / 1000 * 60 * 1e12) / 1e12;
    const std::string m = plainDecimalString(x) + "000000";

    std::string text = degrees;
    text.append(m, 3, 2);
    text += '.';
    text.append(m, 5, 2);
    text += Lat ? (negative ? 'S' : 'N') : (negative ? 'W' : 'E');
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

}  // namespace

QString convertDecimaltoLatORLon(double LatORLonDecimal, bool Lat, bool withDot)
{
    return convert(LatORLonDecimal, Lat, withDot).value_or(fallbackText(Lat, withDot));
}

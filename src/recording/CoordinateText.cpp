#include "recording/CoordinateText.h"

#include "recording/DecimalText.h"

#include <QtGlobal>
#include <charconv>
#include <cmath>
#include <exception>
#include <stdexcept>

namespace {

QString fallbackText(bool Lat, bool withDot)
{
    if (Lat)
        return withDot ? QStringLiteral("00.00.00N") : QStringLiteral("0000.00N");
    return withDot ? QStringLiteral("000.00.00W") : QStringLiteral("00000.00W");
}

QString convert(double LatORLonDecimal, bool Lat, bool withDot)
{
    if (!qIsFinite(LatORLonDecimal))
        throw std::domain_error("not a finite number");

    const bool negative = LatORLonDecimal < 0;
    const double a = std::fabs(LatORLonDecimal);

    // Rounding to 7 places before the minutes are taken lets 51.99999999
    // carry into the degrees instead of showing 60 minutes.
    QString t = roundedDecimalText(a, 7);
    if (!t.contains(QLatin1Char('.')))
        t += QStringLiteral(".0000");
    const int point = int(t.indexOf(QLatin1Char('.')));

    QString degrees = t.left(point);
    if (withDot)
        degrees += QLatin1Char('.');
    const int width = Lat ? (withDot ? 3 : 2) : (withDot ? 4 : 3);
    if (degrees.size() < width)
        degrees.prepend(QStringLiteral("0000000000000").left(width - degrees.size()));

    // Parsed as C text, so a decimal-comma locale changes nothing.
    const QByteArray fractionText = "0." + t.mid(point + 1).toLatin1();
    double fraction = 0;
    const auto parsed = std::from_chars(fractionText.constData(), fractionText.constData() + fractionText.size(), fraction);
    if (parsed.ec != std::errc() || parsed.ptr != fractionText.constData() + fractionText.size())
        throw std::runtime_error("fraction digits do not read back");

    // Minutes / 1000, so the text reads "0.0MMhh...": the 12-place rounding
    // hides the binary noise of 0.502 / 1000 * 60 = 0.030119999999999997.
    const double x = std::round(fraction / 1000 * 60 * 1e12) / 1e12;
    const QString m = plainDecimalText(x) + QStringLiteral("000000");

    QString hemisphere;
    if (Lat)
        hemisphere = negative ? QStringLiteral("S") : QStringLiteral("N");
    else
        hemisphere = negative ? QStringLiteral("W") : QStringLiteral("E");

    return degrees + m.mid(3, 2) + QLatin1Char('.') + m.mid(5, 2) + hemisphere;
}

} // namespace

QString convertDecimaltoLatORLon(double LatORLonDecimal, bool Lat, bool withDot)
{
    try {
        return convert(LatORLonDecimal, Lat, withDot);
    } catch (...) {
        return fallbackText(Lat, withDot);
    }
}

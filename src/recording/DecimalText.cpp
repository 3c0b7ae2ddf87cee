#include "recording/DecimalText.h"

#include <QtGlobal>
#include <algorithm>
#include <charconv>

namespace {

struct DecimalDigits {
    bool negative = false;
    QString whole;    // at least one digit
    QString fraction; // may be empty
};

// Splits the significant digits of value at its decimal point.
DecimalDigits decimalDigits(double value, int significantDigits)
{
    Q_ASSERT(qIsFinite(value));
    // to_chars never looks at the locale: "-d.ddde+XX".
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                                       qBound(1, significantDigits, 17) - 1);
    const char *end = written.ptr;
    const char *p = buffer;
    DecimalDigits result;
    if (*p == '-') {
        result.negative = true;
        ++p;
    }
    const char *e = std::find(p, end, 'e');
    QString digits;
    digits.reserve(e - p);
    for (; p < e; ++p) {
        if (*p != '.')
            digits.append(QLatin1Char(*p));
    }
    int exponent = 0;
    const char *exponentStart = e + 1;
    if (exponentStart < end && *exponentStart == '+')
        ++exponentStart;
    std::from_chars(exponentStart, end, exponent);

    const int pointAfter = exponent + 1; // digits before the decimal point
    if (pointAfter <= 0) {
        result.whole = QStringLiteral("0");
        result.fraction = QString(-pointAfter, QLatin1Char('0')) + digits;
    } else if (pointAfter >= digits.size()) {
        result.whole = digits + QString(pointAfter - digits.size(), QLatin1Char('0'));
    } else {
        result.whole = digits.left(pointAfter);
        result.fraction = digits.mid(pointAfter);
    }
    return result;
}

QString joined(DecimalDigits d)
{
    while (d.fraction.endsWith(QLatin1Char('0')))
        d.fraction.chop(1);
    const bool zero = d.fraction.isEmpty() && d.whole.count(QLatin1Char('0')) == d.whole.size();
    QString text = (d.negative && !zero) ? QStringLiteral("-") : QString();
    text += d.whole;
    if (!d.fraction.isEmpty())
        text += QLatin1Char('.') + d.fraction;
    return text;
}

} // namespace

QString plainDecimalText(double value, int significantDigits)
{
    return joined(decimalDigits(value, significantDigits));
}

QString roundedDecimalText(double value, int decimalPlaces)
{
    DecimalDigits d = decimalDigits(value, 15);
    if (d.fraction.size() <= decimalPlaces)
        return joined(d);

    const bool roundUp = d.fraction.at(decimalPlaces) >= QLatin1Char('5');
    d.fraction.truncate(decimalPlaces);
    if (roundUp) {
        QString digits = d.whole + d.fraction;
        int i = int(digits.size()) - 1;
        for (; i >= 0; --i) {
            if (digits.at(i) == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
            } else {
                digits[i] = QChar(digits.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0)
            digits.prepend(QLatin1Char('1'));
        d.whole = digits.left(digits.size() - decimalPlaces);
        d.fraction = digits.right(decimalPlaces);
    }
    return joined(d);
}

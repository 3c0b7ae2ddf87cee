#include "recording/DecimalText.h"

#include <QtGlobal>
#include <algorithm>
#include <charconv>
#include <string>

// Both functions run for every beacon (its two coordinates), so they work on
// plain characters; the caller makes one QString at the end.

namespace {

struct DecimalDigits {
    bool negative = false;
    std::string whole;     // at least one digit
    std::string fraction;  // may be empty
};

// Splits the significant digits of value at its decimal point.
DecimalDigits decimalDigits(double value, int significantDigits)
{
    Q_ASSERT(qIsFinite(value));
    // to_chars never looks at the locale: "-d.ddde+XX".
    char buffer[64];
    const auto written = std::to_chars(
        buffer, buffer + sizeof buffer, value, std::chars_format::scientific, qBound(1, significantDigits, 17) - 1);
    const char *end = written.ptr;
    const char *p = buffer;
    DecimalDigits result;
    if (*p == '-') {
        result.negative = true;
        ++p;
    }
    const char *e = std::find(p, end, 'e');
    std::string digits;
    digits.reserve(size_t(e - p));
    for (; p < e; ++p) {
        if (*p != '.')
            digits.push_back(*p);
    }
    int exponent = 0;
    const char *exponentStart = e + 1;
    if (exponentStart < end && *exponentStart == '+')
        ++exponentStart;
    std::from_chars(exponentStart, end, exponent);

    const int pointAfter = exponent + 1;  // digits before the decimal point
    const int digitCount = int(digits.size());
    if (pointAfter <= 0) {
        result.whole = "0";
        result.fraction = std::string(size_t(-pointAfter), '0') + digits;
    } else if (pointAfter >= digitCount) {
        result.whole = digits + std::string(size_t(pointAfter - digitCount), '0');
    } else {
        result.whole = digits.substr(0, size_t(pointAfter));
        result.fraction = digits.substr(size_t(pointAfter));
    }
    return result;
}

std::string joined(DecimalDigits d)
{
    while (!d.fraction.empty() && d.fraction.back() == '0')
        d.fraction.pop_back();
    const bool zero = d.fraction.empty() && d.whole.find_first_not_of('0') == std::string::npos;
    std::string text = (d.negative && !zero) ? "-" : "";
    text += d.whole;
    if (!d.fraction.empty()) {
        text += '.';
        text += d.fraction;
    }
    return text;
}

}  // namespace

std::string plainDecimalString(double value, int significantDigits)
{
    return joined(decimalDigits(value, significantDigits));
}

std::string roundedDecimalString(double value, int decimalPlaces)
{
    DecimalDigits d = decimalDigits(value, 15);
    if (int(d.fraction.size()) <= decimalPlaces)
        return joined(d);

    const bool roundUp = d.fraction[size_t(decimalPlaces)] >= '5';
    d.fraction.resize(size_t(decimalPlaces));
    if (roundUp) {
        std::string digits = d.whole + d.fraction;
        int i = int(digits.size()) - 1;
        for (; i >= 0; --i) {
            if (digits[size_t(i)] == '9') {
                digits[size_t(i)] = '0';
            } else {
                ++digits[size_t(i)];
                break;
            }
        }
        if (i < 0)
            digits.insert(digits.begin(), '1');
        d.whole = digits.substr(0, digits.size() - size_t(decimalPlaces));
        d.fraction = digits.substr(digits.size() - size_t(decimalPlaces));
    }
    return joined(d);
}

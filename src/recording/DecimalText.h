#pragma once

#include <QString>
#include <string>

// A finite double as plain decimal text: at most significantDigits
// significant digits, never an exponent, trailing fraction zeros and a bare
// point dropped, "." whatever the locale. 0.00003012 gives "0.00003012",
// 1e20 gives "100000000000000000000", -0.0 gives "0".
QString plainDecimalText(double value, int significantDigits = 15);

// plainDecimalText(value) rounded, as decimal text, to decimalPlaces places
// (halves away from zero). Working on the digits rather than on a scaled
// double keeps 51.99999999 from ever becoming 51.9999999|9x.
QString roundedDecimalText(double value, int decimalPlaces);

// The same as plain characters, for callers that keep working on the text.
std::string plainDecimalString(double value, int significantDigits = 15);
std::string roundedDecimalString(double value, int decimalPlaces);

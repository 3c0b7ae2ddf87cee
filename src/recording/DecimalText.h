#pragma once

#include <string>

// A finite double as plain decimal text: at most significantDigits
// significant digits, never an exponent, trailing fraction zeros and a bare
// point dropped, "." whatever the locale. 0.00003012 gives "0.00003012",
// 1e20 gives "100000000000000000000", -0.0 gives "0".
std::string plainDecimalString(double value, int significantDigits = 15);

// plainDecimalString(value) rounded, as decimal text, to decimalPlaces places
// (halves away from zero). Working on the digits rather than on a scaled
// double keeps 51.99999999 from ever becoming 51.9999999|9x.
std::string roundedDecimalString(double value, int decimalPlaces);

#pragma once

#include <QString>

// Degrees as the " Latest Data " frame shows them: whole degrees, whole
// minutes and truncated hundredths of a minute, then the hemisphere letter.
// 51.502 as a latitude gives "51.30.12N" with the dot and "5130.12N" without;
// -0.125 as a longitude gives "000.07.50W" and "00007.50W". Never fails: a
// value that is not a finite number gives the all-zero text of its shape.
QString convertDecimaltoLatORLon(double LatORLonDecimal, bool Lat, bool withDot);

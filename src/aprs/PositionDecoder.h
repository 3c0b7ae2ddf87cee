#pragma once

#include "aprs/DecodeState.h"

#include <cstddef>

namespace aprs::detail {

// The position formats shared by position reports, objects and items. Each
// returns nullptr on success or a reason code, and fills the packet's
// position, symbol, ambiguity and resolution.

// "4903.50N/07201.75W-": 19 bytes at offset.
const char *decodeUncompressedPosition(DecodeState &state, std::size_t offset);

// "/5L!!<*e7>7P[": 13 bytes at offset.
const char *decodeCompressedPosition(DecodeState &state, std::size_t offset);

// Metres of the worst-case position box for a given number of minute
// decimals; -1 means tens of minutes and -2 whole degrees.
double resolutionMetres(int minuteDecimals);

// What follows a position: the weather readings when the symbol is a weather
// station, otherwise a data extension (CSE/SPD, PHG, RNG, DFS); then the comment.
void decodeAfterPosition(DecodeState &state, std::size_t offset);

// The comment from offset on: takes out a "/A=" altitude (when wanted), base-91
// telemetry "|...|" and a "!DAO!" precision extension.
void decodeComment(DecodeState &state, std::size_t offset, bool altitudeToken, bool skipDelimiter);
// The same for a comment that ends at end, before bytes that are not part of it.
void decodeComment(DecodeState &state, std::size_t offset, std::size_t end, bool altitudeToken, bool skipDelimiter);

}  // namespace aprs::detail

#pragma once

#include "aprs/AprsPacket.h"

#include <cstddef>
#include <string_view>

namespace aprs::detail {

// The readings of a weather report, from offset on: an optional "DDD/SSS"
// wind block, then letter-and-digits fields (gGGG tTTT rRRR pPPP PPPP hHH
// bBBBBB LLLL lLLL sSSS, and cCCCsSSS for wind in the positionless form).
// Dots, blanks or dashes in place of digits mean "no reading". Returns the
// offset where the readings end and the comment may begin; a software and
// unit tag ("wRSW") that ends the report is read past.
std::size_t decodeWeatherFields(std::string_view info, std::size_t offset, WeatherReport &weather);

// Peet Bros Ultimeter: "$ULTW" data (hex words, "----" for none) and the
// "!!" logging form. Return false when no word could be read.
bool decodeUltimeterData(std::string_view words, WeatherReport &weather);
bool decodeUltimeterLogging(std::string_view words, WeatherReport &weather);

}  // namespace aprs::detail

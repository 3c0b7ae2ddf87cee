#pragma once

#include "aprs/DecodeState.h"

#include <string_view>

namespace aprs::detail {

// Raw GPS sentences ($GPRMC, $GPGGA, $GPGLL; GN talkers too). The checksum is
// checked when the sentence carries one; the symbol comes from a GPSxyz or
// SPCxyz destination, else "//". Returns nullptr or a reason code.
const char *decodeNmea(DecodeState &state, std::string_view destination);

}  // namespace aprs::detail

#pragma once

#include "aprs/DecodeState.h"

#include <string_view>

namespace aprs::detail {

// Mic-E (current '`' and old '\''): the destination address carries the
// latitude, the message bits and the longitude offset; the information field
// carries longitude, speed, course, symbol, then an optional "xxx}" altitude
// and the comment. destination is without its SSID. Returns nullptr or a
// reason code.
const char *decodeMicE(DecodeState &state, std::string_view destination);

}  // namespace aprs::detail

#pragma once

#include "aprs/DecodeState.h"

namespace aprs::detail {

// The text-only packet kinds. Each returns nullptr or a reason code.

// ":ADDRESSEE:text{id", acks, rejects, bulletins, announcements.
const char *decodeMessage(DecodeState &state);

// ">text", with an optional leading DDHHMMz time stamp.
const char *decodeStatus(DecodeState &state);

// "T#seq,a1,a2,a3,a4,a5,bbbbbbbb"
const char *decodeTelemetry(DecodeState &state);

// "<IGATE,MSG_CNT=30,LOC_CNT=2"
const char *decodeCapabilities(DecodeState &state);

}  // namespace aprs::detail

#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Turns an AX.25 UI frame (control 0x03, PID F0: what APRS sends) into one
// text line in TNC2 monitor form, SRC>DEST,DIGI1,DIGI2*:info. Anything else,
// connected-mode frames and other protocols included, gives no line; so does a
// frame whose information field is longer than AX.25 allows, which sets
// *overlong as well.
class Ax25Decoder
{
public:
    static constexpr int MaxAddresses = 10;         // destination, source, 8 digipeaters
    static constexpr qsizetype MaxInfoBytes = 256;  // AX.25's N1 default, what APRS assumes

    static std::optional<QByteArray> decodeUiFrame(QByteArrayView frame, bool *overlong = nullptr);
};

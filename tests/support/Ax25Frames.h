#pragma once

#include <QByteArray>

// Builds AX.25 frames as they go on the air, for the KISS and AX.25 tests.

// One address: six characters shifted left, blank padded, then 0b0HRSSSSE
// (H: has been repeated, or the C bit for source and destination; R: reserved,
// set; E: last address).
inline QByteArray ax25Address(const char *callsign, int ssid, bool last = false, bool hBit = false)
{
    QByteArray out;
    const QByteArray call(callsign);
    for (int i = 0; i < 6; ++i)
        out.append(char((i < call.size() ? call.at(i) : ' ') << 1));
    out.append(char(0x60 | (ssid << 1) | (hBit ? 0x80 : 0) | (last ? 1 : 0)));
    return out;
}

// A UI frame (control 0x03, PID F0 unless told otherwise) after its addresses.
inline QByteArray ax25UiFrame(
    const QByteArray &addresses, const QByteArray &info, char control = 0x03, char pid = char(0xF0))
{
    return addresses + control + pid + info;
}

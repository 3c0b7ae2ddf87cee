#pragma once

#include "linuxhost/kiss/Ax25Decoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// One KISS data frame: the AX.25 frame without flags or FCS, and the TNC port
// taken from the high nibble of the type byte.
struct KissFrame {
    int port = 0;
    QByteArray data;
};

// Cuts a KISS byte stream into data frames. Bytes before the first FEND, frames
// with a bad escape, frames longer than an AX.25 frame may be and frames of other
// commands (TX delay, persistence, ...) are dropped; the stream resynchronises
// on the next FEND. Reads may split a frame anywhere.
class KissDeframer
{
public:
    static constexpr char Fend = char(0xC0);
    static constexpr char Fesc = char(0xDB);
    static constexpr char Tfend = char(0xDC);
    static constexpr char Tfesc = char(0xDD);

    // Ten addresses, control, PID and a full information field: the largest
    // AX.25 frame. A longer one is dropped as it arrives, never kept whole.
    static constexpr qsizetype MaxFrameBytes = 10 * 7 + 2 + Ax25Decoder::MaxInfoBytes;

    // Appends every frame completed by these bytes to frames.
    void feed(QByteArrayView bytes, QList<KissFrame> &frames);
    QList<KissFrame> feed(QByteArrayView bytes);

    // Frames thrown away as garbage (bad escape, empty data frame).
    qint64 droppedFrames() const { return mDropped; }
    // Frames longer than MaxFrameBytes, thrown away.
    qint64 overlongFrames() const { return mOverlong; }
    // Well-formed frames of a command other than data.
    qint64 ignoredFrames() const { return mIgnored; }

    // Forgets a partial frame, as after a reconnect.
    void reset();

private:
    void endFrame(QList<KissFrame> &frames);

    QByteArray mFrame;  // unescaped bytes, type byte first
    bool mSynced = false;
    bool mEscape = false;
    bool mBad = false;
    bool mTooLong = false;
    qint64 mDropped = 0;
    qint64 mOverlong = 0;
    qint64 mIgnored = 0;
};

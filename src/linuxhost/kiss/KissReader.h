#pragma once

#include "linuxhost/kiss/KissDeframer.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// KISS bytes in, TNC2 lines out: what every KISS source does with what it
// reads, over TCP or a serial line. Each AX.25 UI frame with PID F0 becomes one
// line on radio port KISS port + 1.
class KissReader
{
public:
    struct Line {
        QByteArray text;
        qint16 radioPort = 0;
    };

    // The lines these bytes complete; valid until the next call.
    const QList<Line> &read(QByteArrayView bytes);
    // Forgets a partial frame, as after a reconnect.
    void reset() { mDeframer.reset(); }

    // Frames that were not APRS (not UI with PID F0) or not valid AX.25.
    qint64 skippedFrames() const { return mSkippedFrames; }
    // Frames longer than AX.25 allows, on the wire or in the information field.
    qint64 overlongFrames() const { return mDeframer.overlongFrames() + mOverlongInfo; }
    const KissDeframer &deframer() const { return mDeframer; }

private:
    KissDeframer mDeframer;
    QList<KissFrame> mFrames;
    QList<Line> mLines;
    qint64 mSkippedFrames = 0;
    qint64 mOverlongInfo = 0;
};

#include "linuxhost/kiss/KissReader.h"

const QList<KissReader::Line> &KissReader::read(QByteArrayView bytes)
{
    mFrames.clear();
    mLines.clear();
    mDeframer.feed(bytes, mFrames);
    for (const KissFrame &frame : std::as_const(mFrames)) {
        bool overlong = false;
        std::optional<QByteArray> line = Ax25Decoder::decodeUiFrame(frame.data, &overlong);
        if (line)
            mLines.append(Line {std::move(*line), qint16(frame.port + 1)});
        else
            ++(overlong ? mOverlongInfo : mSkippedFrames);
    }
    return mLines;
}

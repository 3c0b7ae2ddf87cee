#include "linuxhost/feeds/LineSplitter.h"

void LineSplitter::feed(QByteArrayView bytes, QList<QByteArray> &lines)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView piece = bytes.sliced(start, end - start);
        if (end == bytes.size()) {
            if (mDropping)
                return;
            if (mPartial.size() + piece.size() > mMaxLineBytes) {
                ++mOverlong;
                mDropping = true;
                mPartial.clear();
                return;
            }
            mPartial.append(piece);
            return;
        }
        endLine(piece, lines);
        start = end + 1;
    }
}

void LineSplitter::endLine(QByteArrayView piece, QList<QByteArray> &lines)
{
    if (mDropping) {
        mDropping = false;
        return;
    }
    if (mPartial.size() + piece.size() > mMaxLineBytes) {
        ++mOverlong;
        mPartial.clear();
        return;
    }
    if (mPartial.isEmpty()) {
        if (!piece.isEmpty())
            lines.append(piece.toByteArray());
        return;
    }
    mPartial.append(piece);
    lines.append(mPartial);
    mPartial.clear();
}

void LineSplitter::finish(QList<QByteArray> &lines)
{
    endLine({}, lines);
}

void LineSplitter::reset()
{
    mPartial.clear();
    mDropping = false;
}

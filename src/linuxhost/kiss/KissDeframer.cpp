#include "linuxhost/kiss/KissDeframer.h"

void KissDeframer::feed(QByteArrayView bytes, QList<KissFrame> &frames)
{
    for (const char byte : bytes) {
        if (byte == Fend) {
            endFrame(frames);
            mSynced = true;
            continue;
        }
        if (!mSynced || mBad)
            continue;
        if (mEscape) {
            mEscape = false;
            if (byte == Tfend) {
                mFrame.append(Fend);
            } else if (byte == Tfesc) {
                mFrame.append(Fesc);
            } else {
                mBad = true;
                continue;
            }
        } else if (byte == Fesc) {
            mEscape = true;
            continue;
        } else {
            mFrame.append(byte);
        }
        // The type byte comes on top of the AX.25 frame.
        if (mFrame.size() > MaxFrameBytes + 1) {
            mBad = true;
            mTooLong = true;
            mFrame.clear();
            mFrame.squeeze();
        }
    }
}

QList<KissFrame> KissDeframer::feed(QByteArrayView bytes)
{
    QList<KissFrame> frames;
    feed(bytes, frames);
    return frames;
}

void KissDeframer::endFrame(QList<KissFrame> &frames)
{
    const bool bad = mBad || mEscape;
    const bool tooLong = mTooLong;
    mBad = false;
    mTooLong = false;
    mEscape = false;
    if (!mSynced) {
        mFrame.clear();
        return;
    }
    if (bad) {
        ++(tooLong ? mOverlong : mDropped);
        mFrame.clear();
        return;
    }
    // FEND FEND is the idle fill between frames, not a frame.
    if (mFrame.isEmpty())
        return;
    const auto type = static_cast<unsigned char>(mFrame.at(0));
    if ((type & 0x0F) != 0) {
        ++mIgnored;
    } else if (mFrame.size() == 1) {
        ++mDropped;
    } else {
        frames.append(KissFrame {type >> 4, mFrame.mid(1)});
    }
    mFrame.clear();
}

void KissDeframer::reset()
{
    mFrame.clear();
    mSynced = false;
    mEscape = false;
    mBad = false;
    mTooLong = false;
}

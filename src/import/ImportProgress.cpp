#include "import/ImportProgress.h"

#include <algorithm>

ImportProgress::ImportProgress(std::FILE *out, bool terminal) : mOut(out), mTerminal(terminal)
{
    mSinceStart.start();
}

void ImportProgress::update(qint64 bytesDone, qint64 bytesTotal, qint64 lines, qint64 stored, bool force)
{
    const qint64 now = mSinceStart.elapsed();
    const qint64 interval = mTerminal ? BarIntervalMs : LineIntervalMs;
    if (!force && mLastShownMs >= 0 && now - mLastShownMs < interval)
        return;
    mLastShownMs = now;
    const double fraction = bytesTotal > 0 ? std::min(1.0, double(bytesDone) / double(bytesTotal)) : 1.0;
    const double rate = now > 0 ? double(stored) * 1000.0 / double(now) : 0;
    if (mTerminal) {
        constexpr int Width = 30;
        const int filled = int(fraction * Width);
        const QString bar = QString(filled, QLatin1Char('#')) + QString(Width - filled, QLatin1Char('.'));
        std::fprintf(mOut, "\r[%s] %3d%%  %lld lines  %lld stored  %.0f/s ", qPrintable(bar), int(fraction * 100),
            static_cast<long long>(lines), static_cast<long long>(stored), rate);
        mShownBar = true;
    } else {
        std::fprintf(mOut, "keldan-import: %d%%, %lld lines, %lld beacons stored, %.0f/s\n", int(fraction * 100),
            static_cast<long long>(lines), static_cast<long long>(stored), rate);
    }
    std::fflush(mOut);
}

void ImportProgress::finish()
{
    if (mShownBar)
        std::fprintf(mOut, "\n");
    std::fflush(mOut);
}

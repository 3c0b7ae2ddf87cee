#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

// Progress on standard error: a bar redrawn in place on a terminal, plain
// lines every few seconds otherwise (a log file, a pipe).
class ImportProgress
{
public:
    ImportProgress(std::FILE *out, bool terminal);

    // Bytes read of all files; shown at most a few times a second.
    void update(qint64 bytesDone, qint64 bytesTotal, qint64 lines, qint64 stored, bool force = false);
    // Ends the bar's line.
    void finish();

private:
    // A bar redraws a few times a second; a log gets a line every five seconds.
    static constexpr qint64 BarIntervalMs = 200;
    static constexpr qint64 LineIntervalMs = 5000;

    std::FILE *mOut;
    bool mTerminal;
    QElapsedTimer mSinceStart;
    qint64 mLastShownMs = -1;
    bool mShownBar = false;
};

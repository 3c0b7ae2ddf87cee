#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Cuts a text stream into lines. CR, LF and CR LF each end a line: APRS-IS
// servers and loggers send CR LF, some send LF, and some igates and trackers CR
// alone. Blank lines are skipped. A line longer than the most a line may hold
// is counted and dropped as it arrives, never kept whole; the stream picks up
// again at the next line end. Reads may split a line anywhere.
class LineSplitter
{
public:
    explicit LineSplitter(qsizetype maxLineBytes) : mMaxLineBytes(maxLineBytes) { }

    // Appends every line these bytes complete, without its line end.
    void feed(QByteArrayView bytes, QList<QByteArray> &lines);
    // The stream has ended: a last line without a line end counts as a line.
    void finish(QList<QByteArray> &lines);
    // Forgets a partial line, as after a reconnect.
    void reset();

    qint64 overlongLines() const { return mOverlong; }

private:
    void endLine(QByteArrayView piece, QList<QByteArray> &lines);

    qsizetype mMaxLineBytes;
    QByteArray mPartial;
    bool mDropping = false;  // inside an overlong line
    qint64 mOverlong = 0;
};

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

// One line of a log, split into its time stamp (if any) and its TNC2 packet.
// The forms it knows:
//   N0CALL>APRS,WIDE2-1:!4903.50N/07201.75W-           plain TNC2, no time
//   2024-05-06 14:30:00 N0CALL>APRS:...                ISO prefix (also with
//       a T between date and time, fractions of a second, and Z or +hh:mm)
//   2024-05-06 14:30:00.123 OH2XYZ-1  R N0CALL>APRS:...    aprx's rf log:
//       port name, then R (received), T (transmitted) or d (dropped)
// A stamp without a zone is in the zone given to the parser.
class LogLineParser
{
public:
    enum class Kind {
        Packet,   // a TNC2 line to hand to the host
        Skipped,  // blank, a comment ("#"), or not received (aprx T and d)
        Bad,      // neither a TNC2 line nor a known prefix before one
    };

    struct Line {
        Kind kind = Kind::Bad;
        QByteArray packet;  // the TNC2 line, without the stamp or line end
        QDateTime time;     // invalid when the line has no stamp
    };

    // stampSpec: Qt::LocalTime or Qt::UTC.
    explicit LogLineParser(Qt::TimeSpec stampSpec = Qt::LocalTime) : mStampSpec(stampSpec) { }

    Line parse(QByteArrayView raw) const;

    // "SRC>DEST...:info" with a source of printable characters, no blank.
    static bool looksLikeTnc2(QByteArrayView line);

private:
    // The stamp at the start of text and its length, or an invalid time.
    QDateTime readStamp(QByteArrayView text, qsizetype &length) const;

    Qt::TimeSpec mStampSpec;
};

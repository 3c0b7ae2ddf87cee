#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <limits>

// One line of a log, split into its time stamp (if any), its radio port and
// its TNC2 packet. The logs it knows, each line recognised on its own:
//   N0CALL>APRS,WIDE2-1:!4903.50N/07201.75W-           plain TNC2, no time
//   # aprsc 2.1.14                                     APRS-IS capture: TNC2
//       lines and "#" comments
//   2024-05-06 14:30:00 N0CALL>APRS:...                TNC2 after a stamp
//       (also with a T between date and time, fractions of a second, and Z
//       or +hh:mm / -hh:mm)
//   2024-05-06 14:30:00.123 OH2XYZ-1  R N0CALL>APRS:...    aprx's rf log:
//       port name, then R (received), T (transmitted) or d (dropped); the
//       control bytes aprx writes as <0x1c> (or sign-extended, <0xffffffce>)
//       are turned back into bytes
//   2026-12-07T18:04:05.123Z 101 N0CALL>APRS:...       the bridge's packet
//       journal: UTC time, radio port
//   0,1714990200,2024-05-06T10:10:00Z,N0CALL,...       Dire Wolf's -L log
//       (CSV with a header row): rebuilt as a position report from its
//       latitude, longitude, symbol, speed, course, altitude and comment
// A stamp without a zone is in the zone given to the parser. A local time
// that a daylight-saving change skips (the spring gap) is moved forward by
// the gap; one that it repeats (the autumn overlap) is its first occurrence.
class LogLineParser
{
public:
    enum class Kind {
        Packet,   // a TNC2 line to hand to the road
        Skipped,  // blank, a comment ("#"), a header, or not received (aprx T and d)
        Bad,      // neither a TNC2 line nor a known prefix before one
        BadTime,  // a stamp that is no date of the calendar, or outside 1990-2100
        TooLong,  // a packet over MaxPacketBytes, as a live feed's line
    };

    // The most a live feed's line holds (the APRS-IS line cap).
    static constexpr qsizetype MaxPacketBytes = 512;

    enum class Format { None, Tnc2, AprsIs, StampedTnc2, Aprx, Journal, DireWolf };

    struct Line {
        Kind kind = Kind::Bad;
        Format format = Format::None;
        QByteArray packet;  // the TNC2 line, without the stamp or line end
        QDateTime time;     // invalid when the line has no stamp
        qint16 radioPort = 0;
        QString reason;  // why a line is Bad, BadTime or TooLong
    };

    // stampSpec: Qt::LocalTime or Qt::UTC.
    explicit LogLineParser(Qt::TimeSpec stampSpec = Qt::LocalTime) : mStampSpec(stampSpec) { }

    Line parse(QByteArrayView raw) const;

    // "SRC>DEST...:info" with a source of printable characters, no blank.
    static bool looksLikeTnc2(QByteArrayView line);
    // aprx's <0xNN> escapes as the bytes they stand for.
    static QByteArray unescapeAprx(QByteArrayView text);
    static QString formatName(Format format);

private:
    enum class Stamp { None, Valid, Bad };
    // The stamp at the start of text and its length.
    Stamp readStamp(QByteArrayView text, qsizetype &length, QDateTime &time) const;
    QDateTime localToUtc(const QDate &date, const QTime &time) const;
    Line parseDireWolf(QByteArrayView text) const;

    Qt::TimeSpec mStampSpec;
    // The last local hour resolved and its offset: logs run in time order.
    mutable qint64 mCachedHour = std::numeric_limits<qint64>::min();
    mutable int mCachedOffset = 0;
};

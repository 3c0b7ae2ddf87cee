#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <optional>

// One line of the packet journal: when a packet was heard, on which radio
// port, and its TNC2 text, as the Linux host writes it and keldan-import reads
// it back:
//
//   2026-12-07T18:04:05.123Z 101 N0CALL>APRS,WIDE1-1:!5230.00N/01320.00E-
//
// The time is UTC with milliseconds; the port is a decimal number (0 for
// APRS-IS and logs); the text runs to the end of the line as heard, NUL bytes
// included.
namespace JournalLine {

struct Entry {
    QDateTime heardAtUtc;
    qint16 radioPort = 0;
    QByteArrayView packet;  // into the parsed line
};

// The line for a packet, with its newline.
QByteArray format(const QDateTime &heardAt, qint16 radioPort, QByteArrayView packet);

// The entry of a journal line (with or without its newline), or nothing when
// the line is not one.
std::optional<Entry> parse(QByteArrayView line);

}  // namespace JournalLine

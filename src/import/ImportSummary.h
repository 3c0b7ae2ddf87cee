#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// What an import did, line by line and beacon by beacon. Every line read is
// counted once in skipped, bad, badTime, tooLong or packets; every packet once
// in the road's outcome (beacon, duplicate, remembered, dropped, rejected,
// each rejection once more under its reason); every beacon once in stored,
// alreadyStored, refused, excluded, notRecorded or uncommitted. The text uses
// the bridge's words where the bridge's log counts the same: received
// (packets), beacons, stored (beacons), failed (beacons a statement of which
// the database refused).
struct ImportSummary {
    QStringList files;        // in the order imported
    QStringList fileFormats;  // the kind of log each file is, as LogLineParser names it
    qint64 lines = 0;
    qint64 skipped = 0;  // blank, comments, headers, aprx T and d lines
    qint64 bad = 0;      // not a TNC2 line
    qint64 badTime = 0;  // a stamp that is no date of the calendar, or outside 1990-2100
    qint64 tooLong = 0;  // a packet over 512 bytes, or a line over LogReader::MaxLineBytes
    qint64 packets = 0;
    qint64 duplicates = 0;
    qint64 undecodable = 0;
    QMap<QString, qint64> rejections;  // undecodable by reason, in words
    qint64 remembered = 0;             // status texts and position-less weather
    qint64 dropped = 0;                // messages, telemetry, killed objects and the rest
    qint64 beacons = 0;
    qint64 stored = 0;         // committed
    qint64 alreadyStored = 0;  // the same callsign, time and position were in the table
    qint64 refused = 0;        // a statement refused by the database (committed without it)
    qint64 excluded = 0;       // Enforce Exclusions and the callsign is in Exclusions
    qint64 notRecorded = 0;    // its kind's capture switch is off
    qint64 uncommitted = 0;    // written in a transaction that was never committed
    qint64 transactions = 0;
    QMap<QString, qint64> refusals;
    QStringList problems;  // files that could not be read, a lost database
    bool interrupted = false;
    int stopSignal = 0;  // the signal that stopped the import, or 0
    double seconds = 0;

    // The report printed at the end, one item a line.
    QString text() const;

    // The decoder's reason code in words, with the code: "position malformed (loc_inv)".
    static QString rejectionText(const char *code);
    static QString tooLongReason();
};

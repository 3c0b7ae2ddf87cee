#pragma once

#include <QAnyStringView>
#include <QDateTime>
#include <QString>
#include <QStringView>

// The stored time stamps ("2004-05-06 14:30:00") as plain seconds, with no
// time zone: dtstamp is the host's wall-clock time (local or UTC, by its Time
// Zone setting), so it is counted as if it were UTC and never shifted by a
// daylight-saving rule. Days from 1970-01-01 times 86400 plus the time of day.

// False when the text is no "YYYY-MM-DD HH:MM:SS" (a 'T' between date and
// time, and fractions of a second after it, are accepted).
bool parseDtstamp(QAnyStringView text, qint64 &seconds);

// "YYYY-MM-DD HH:MM:SS", as a literal a WHERE clause compares with dtstamp.
QString dtstampText(qint64 seconds);

// What a clock reads in the time's own zone, counted the same way (the
// reading, not the instant); fractions of a second dropped.
qint64 dtstampSeconds(const QDateTime &time);

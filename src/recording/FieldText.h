#pragma once

#include "db/StatementExecutor.h"

#include <QString>

// The four fields that get a transformation of their own on the way into a
// statement.

// The digipeater path of a packet header, or "" where none can be found.
//   N0CALL>APRS,WIDE2-1,qAR,N0CALL-10   -> APRS,WIDE2-1   (cut at ",q")
//   N0CALL>APRS,RELAY,WIDE 12:00        -> APRS,RELAY,WIDE (cut at the blank)
//   N0CALL>APRS,X qAB                   -> ""  ("qA" and a letter, no ",q")
QString extractPath(const QString &header);

// packetText from the 1-based commentStart to its end, apostrophes removed.
// Throws std::out_of_range when commentStart is below 1 or past the end + 1.
QString commentText(const QString &packetText, qint16 commentStart);

// The owner with spaces (only spaces) removed at both ends.
QString ownerText(const QString &objectOwner);

// The symbol literal's inside: table and code as one text, escaped by the
// server's rule like any other. "/" and "\" (DF station) give "/\" where a
// backslash is kept and "/\\" where it escapes, so "/\" is stored either way.
QString symbolText(const QString &symbolTable, const QString &symbolCode, SqlDialect dialect);

#pragma once

#include "db/StatementExecutor.h"
#include "host/HostTypes.h"

#include <QDateTime>
#include <QString>

// The text forms in which values enter a statement. All of them write "."
// and ASCII digits whatever the locale.

// 1 for the host's True (-1), 0 for anything else: a number, not a Boolean,
// so that it enters a statement as "1" or "0".
qint16 isTrue(HostBool value);

// Seven significant digits, trailing zeros and a bare point dropped: 12.5,
// 3090.25, 100, 0.1, -0.25. Beacon ranges never need an exponent; beyond
// 1E+07 or below 1E-04 one is written ("1.234568E+07"). Throws
// std::domain_error for NaN and the infinities, which no column can take:
// their statement fails instead of storing "nan" as a reading.
QString singleText(float value);

// Decimal digits, "-" when negative: 0, 2, -15.
QString integerText(qint16 value);

// "2004-02-03 07:05:09": 24-hour clock, the date-time's own (local) fields.
QString timestampText(const QDateTime &timestamp);

// The inside of a quoted text literal: each apostrophe written twice, and
// where the server reads a backslash as an escape, each backslash too. Nothing
// a station sends can then end the literal or change its text.
QString literalText(const QString &text, SqlDialect dialect);

#pragma once

#include <QString>
#include <sql.h>

// unixODBC's wide text is UTF-16, as QString's is: both directions are a
// reinterpretation, no conversion.
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR must be UTF-16");

inline SQLWCHAR *toSqlWChar(const QString &text)
{
    return reinterpret_cast<SQLWCHAR *>(const_cast<ushort *>(text.utf16()));
}

inline QString fromSqlWChar(const SQLWCHAR *text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), length);
}

#include "db/OdbcError.h"

#include "db/SqlWideText.h"

#include <sql.h>
#include <sqlext.h>

#include <QStringList>
#include <vector>

namespace {

std::string whatText(const QString &operation, const QList<OdbcDiagnostic> &diagnostics)
{
    QStringList lines;
    for (const OdbcDiagnostic &d : diagnostics)
        lines << QStringLiteral("%1 [%2] %3").arg(d.sqlState).arg(d.nativeError).arg(d.message);
    if (lines.isEmpty())
        return QStringLiteral("%1 failed").arg(operation).toStdString();
    return QStringLiteral("%1 failed: %2").arg(operation, lines.join(QLatin1Char('\n'))).toStdString();
}

}  // namespace

OdbcError::OdbcError(const QString &operation, QList<OdbcDiagnostic> diagnostics)
    : std::runtime_error(whatText(operation, diagnostics)), mOperation(operation), mDiagnostics(std::move(diagnostics))
{ }

OdbcError OdbcError::fromHandle(const QString &operation, short handleType, void *handle)
{
    QList<OdbcDiagnostic> records;
    if (handle) {
        for (SQLSMALLINT record = 1;; ++record) {
            SQLWCHAR state[6] = {};
            SQLINTEGER native = 0;
            std::vector<SQLWCHAR> text(512);
            SQLSMALLINT textLength = 0;
            SQLRETURN rc = SQLGetDiagRecW(
                handleType, handle, record, state, &native, text.data(), SQLSMALLINT(text.size()), &textLength);
            if (rc == SQL_SUCCESS_WITH_INFO && textLength >= SQLSMALLINT(text.size())) {
                // The message was cut short: ask again with room for all of it.
                text.resize(size_t(textLength) + 1);
                rc = SQLGetDiagRecW(
                    handleType, handle, record, state, &native, text.data(), SQLSMALLINT(text.size()), &textLength);
            }
            if (!SQL_SUCCEEDED(rc))
                break;
            const qsizetype length = qMin<qsizetype>(textLength, qsizetype(text.size()) - 1);
            records.append({fromSqlWChar(state, 5), qint32(native), fromSqlWChar(text.data(), length)});
        }
    }
    return OdbcError(operation, std::move(records));
}

QString OdbcError::sqlState() const
{
    return mDiagnostics.isEmpty() ? QString() : mDiagnostics.first().sqlState;
}

qint32 OdbcError::nativeError() const
{
    return mDiagnostics.isEmpty() ? 0 : mDiagnostics.first().nativeError;
}

// Numbers for records whose driver gives no native error, by SQLSTATE class:
//   IM (driver manager: unknown DSN, driver not loadable)  6001
//   08 (connection: refused, not open, lost)                6008
//   28 (authorisation refused)                              6028
//   42 (syntax error or unknown object)                     6042
//   22 (data: value out of range, bad number or date)       6022
//   23 (constraint violated)                                6023
//   HY (general driver or driver-manager error)             6100
//   anything else, or no diagnostic at all                  6999
int OdbcError::classNumber(const QString &sqlState)
{
    const QString cls = sqlState.left(2).toUpper();
    if (cls == QLatin1String("IM"))
        return 6001;
    if (cls == QLatin1String("08"))
        return 6008;
    if (cls == QLatin1String("28"))
        return 6028;
    if (cls == QLatin1String("42"))
        return 6042;
    if (cls == QLatin1String("22"))
        return 6022;
    if (cls == QLatin1String("23"))
        return 6023;
    if (cls == QLatin1String("HY"))
        return 6100;
    return 6999;
}

int OdbcError::statusNumber() const
{
    if (nativeError() != 0)
        return nativeError();
    return classNumber(sqlState());
}

QString OdbcError::describe() const
{
    QStringList lines;
    for (const OdbcDiagnostic &d : mDiagnostics)
        lines << QStringLiteral("%1 [%2] %3").arg(d.sqlState).arg(d.nativeError).arg(d.message);
    return lines.join(QLatin1Char('\n'));
}

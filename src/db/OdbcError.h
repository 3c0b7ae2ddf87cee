#pragma once

#include <QList>
#include <QString>
#include <stdexcept>

// One diagnostic record as the driver manager or driver reported it.
struct OdbcDiagnostic {
    QString sqlState;
    qint32 nativeError = 0;
    QString message;
};

// A failed ODBC call, carrying every diagnostic record of the handle it ran
// on. statusNumber() is the one number the status line shows; see
// docs/odbc-errors.md for its table. failureKind() (FailureKind.h) tells
// whether trying again may help.
class OdbcError : public std::runtime_error
{
public:
    OdbcError(const QString &operation, QList<OdbcDiagnostic> diagnostics);

    // Reads all diagnostic records of an ODBC handle. handleType is the
    // SQL_HANDLE_* value; the handle is a SQLHANDLE kept opaque here so that
    // this header does not pull in the ODBC headers.
    static OdbcError fromHandle(const QString &operation, short handleType, void *handle);

    QString operation() const { return mOperation; }
    const QList<OdbcDiagnostic> &diagnostics() const { return mDiagnostics; }
    QString sqlState() const;
    qint32 nativeError() const;
    int statusNumber() const;
    QString describe() const;

    // The number used when a record has no native error, by SQLSTATE class.
    static int classNumber(const QString &sqlState);

private:
    QString mOperation;
    QList<OdbcDiagnostic> mDiagnostics;
};

#include "db/OdbcConnection.h"

#include "db/OdbcEnvironment.h"
#include "db/OdbcError.h"

#include <sql.h>
#include <sqlext.h>


namespace {

// Bytes before the first all-zero character of width unit, at most limit.
qsizetype terminatorOffset(const QByteArray &buffer, qsizetype unit, qsizetype limit)
{
    for (qsizetype offset = 0; offset + unit <= limit; offset += unit) {
        bool zero = true;
        for (qsizetype i = 0; i < unit; ++i)
            zero = zero && buffer.at(offset + i) == 0;
        if (zero)
            return offset;
    }
    return limit;
}

// Seconds a connect may block the user-interface thread on a server that
// does not answer.
constexpr SQLULEN LoginTimeoutSeconds = 15;

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR must be UTF-16");

SQLWCHAR *toSqlWChar(const QString &text)
{
    return reinterpret_cast<SQLWCHAR *>(const_cast<ushort *>(text.utf16()));
}

QString fromSqlWChar(const SQLWCHAR *text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), length);
}

// Frees a statement handle however the statement ends.
class StatementHandle
{
public:
    explicit StatementHandle(SQLHSTMT handle) : mHandle(handle) {}
    ~StatementHandle() { SQLFreeHandle(SQL_HANDLE_STMT, mHandle); }
    StatementHandle(const StatementHandle &) = delete;
    StatementHandle &operator=(const StatementHandle &) = delete;
    SQLHSTMT get() const { return mHandle; }

private:
    SQLHSTMT mHandle;
};

} // namespace

OdbcConnection::OdbcConnection(QString name)
    : mName(std::move(name))
{
}

OdbcConnection::~OdbcConnection()
{
    if (mDbc) {
        SQLDisconnect(mDbc);
        SQLFreeHandle(SQL_HANDLE_DBC, mDbc);
    }
}

void OdbcConnection::open(const QString &connectionString)
{
    if (mDbc)
        throw OdbcError(QStringLiteral("SQLDriverConnect"),
                        {{QStringLiteral("08002"), 0, QStringLiteral("Connection already open")}});

    OdbcEnvironment &environment = OdbcEnvironment::process();
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment.handle(), &dbc)))
        throw OdbcError::fromHandle(QStringLiteral("SQLAllocHandle(DBC)"), SQL_HANDLE_ENV, environment.handle());

    // Not every driver knows a login timeout; a refusal here changes nothing.
    SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(LoginTimeoutSeconds), 0);

    QString text = connectionString;
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, toSqlWChar(text), SQLSMALLINT(text.size()), nullptr, 0,
                                           &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        OdbcError error = OdbcError::fromHandle(QStringLiteral("SQLDriverConnect"), SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        throw error;
    }

    SQLWCHAR name[256] = {};
    SQLSMALLINT nameBytes = 0;
    if (SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof(name), &nameBytes)))
        mDbmsName = fromSqlWChar(name, qMin<qsizetype>(nameBytes / qsizetype(sizeof(SQLWCHAR)), 255));
    else
        mDbmsName.clear();
    // The SQLite driver has no wide entry points, so the driver manager would
    // narrow our UTF-16 through UCS-2: a character beyond the BMP (an emoji in
    // a comment) makes that fail and the whole statement reaches the driver
    // as truncated bytes. Its narrow entry points take UTF-8 as it is.
    mNarrowText = mDbmsName.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
    mDbc = dbc;
}

void OdbcConnection::close()
{
    if (!mDbc)
        return;
    if (!SQL_SUCCEEDED(SQLDisconnect(mDbc)))
        throw OdbcError::fromHandle(QStringLiteral("SQLDisconnect"), SQL_HANDLE_DBC, mDbc);
    SQLFreeHandle(SQL_HANDLE_DBC, mDbc);
    mDbc = nullptr;
}

void OdbcConnection::requireOpen(const QString &operation) const
{
    if (!mDbc)
        throw OdbcError(operation, {{QStringLiteral("08003"), 0, QStringLiteral("Connection not open")}});
}

void *OdbcConnection::allocateStatement(const QString &operation)
{
    requireOpen(operation);
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, mDbc, &stmt)))
        throw OdbcError::fromHandle(QStringLiteral("SQLAllocHandle(STMT)"), SQL_HANDLE_DBC, mDbc);
    return stmt;
}

int OdbcConnection::executeDirect(void *stmt, const QString &sql) const
{
    if (mNarrowText) {
        QByteArray utf8 = sql.toUtf8();
        return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR *>(utf8.data()), SQLINTEGER(utf8.size()));
    }
    QString text = sql;
    return SQLExecDirectW(stmt, toSqlWChar(text), SQLINTEGER(text.size()));
}

void OdbcConnection::execute(const QString &sql)
{
    const QString operation = QStringLiteral("SQLExecDirect");
    StatementHandle stmt(allocateStatement(operation));
    const SQLRETURN rc = executeDirect(stmt.get(), sql);
    // SQL_NO_DATA: an UPDATE or DELETE that touched no row, which is no failure.
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        throw OdbcError::fromHandle(operation, SQL_HANDLE_STMT, stmt.get());
}

void OdbcConnection::setAutocommit(bool on)
{
    const QString operation = QStringLiteral("SQLSetConnectAttr(AUTOCOMMIT)");
    requireOpen(operation);
    const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    if (!SQL_SUCCEEDED(SQLSetConnectAttrW(mDbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), 0)))
        throw OdbcError::fromHandle(operation, SQL_HANDLE_DBC, mDbc);
}

void OdbcConnection::commit()
{
    const QString operation = QStringLiteral("SQLEndTran(COMMIT)");
    requireOpen(operation);
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, mDbc, SQL_COMMIT)))
        throw OdbcError::fromHandle(operation, SQL_HANDLE_DBC, mDbc);
}

void OdbcConnection::rollback()
{
    const QString operation = QStringLiteral("SQLEndTran(ROLLBACK)");
    requireOpen(operation);
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, mDbc, SQL_ROLLBACK)))
        throw OdbcError::fromHandle(operation, SQL_HANDLE_DBC, mDbc);
}

SqlDialect OdbcConnection::dialect() const
{
    if (mDbmsName.contains(QLatin1String("MySQL"), Qt::CaseInsensitive)
        || mDbmsName.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive))
        return SqlDialect::MySql;
    return SqlDialect::Standard;
}

QList<QStringList> OdbcConnection::queryRows(const QString &select, const QString &nullText)
{
    const QString operation = QStringLiteral("SQLExecDirect");
    StatementHandle stmt(allocateStatement(operation));
    SQLRETURN rc = executeDirect(stmt.get(), select);
    if (rc == SQL_NO_DATA)
        return {};
    if (!SQL_SUCCEEDED(rc))
        throw OdbcError::fromHandle(operation, SQL_HANDLE_STMT, stmt.get());

    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)))
        throw OdbcError::fromHandle(QStringLiteral("SQLNumResultCols"), SQL_HANDLE_STMT, stmt.get());

    QList<QStringList> rows;
    while (true) {
        rc = SQLFetch(stmt.get());
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            throw OdbcError::fromHandle(QStringLiteral("SQLFetch"), SQL_HANDLE_STMT, stmt.get());
        QStringList row;
        for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columns); ++column) {
            // Long values come in pieces: each call fills the buffer (less the
            // terminator) until SQL_SUCCESS marks the last piece.
            bool isNull = false;
            const qsizetype unit = mNarrowText ? 1 : qsizetype(sizeof(SQLWCHAR));
            QByteArray collected;
            QByteArray buffer(4096, Qt::Uninitialized);
            while (true) {
                SQLLEN indicator = 0;
                rc = SQLGetData(stmt.get(), column, mNarrowText ? SQL_C_CHAR : SQL_C_WCHAR, buffer.data(),
                                SQLLEN(buffer.size()), &indicator);
                if (rc == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(rc))
                    throw OdbcError::fromHandle(QStringLiteral("SQLGetData"), SQL_HANDLE_STMT, stmt.get());
                if (indicator == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                const qsizetype room = buffer.size() - unit;
                qsizetype got = (indicator == SQL_NO_TOTAL || indicator > room) ? room : qsizetype(indicator);
                if (rc == SQL_SUCCESS) {
                    // The last piece ends at its terminator. MariaDB's driver
                    // reports the UTF-8 length of short wide values, which is
                    // not the number of bytes it wrote.
                    got = terminatorOffset(buffer, unit, room);
                    collected.append(buffer.constData(), got);
                    break;
                }
                collected.append(buffer.constData(), got);
            }
            const QString value = mNarrowText
                ? QString::fromUtf8(collected)
                : fromSqlWChar(reinterpret_cast<const SQLWCHAR *>(collected.constData()), collected.size() / unit);
            row << (isNull ? nullText : value);
        }
        rows << row;
    }
    return rows;
}

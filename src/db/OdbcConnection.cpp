#include "db/OdbcConnection.h"

#include "db/LiteralRule.h"
#include "db/OdbcEnvironment.h"
#include "db/OdbcError.h"
#include "db/OdbcRowBlock.h"
#include "db/SqlWideText.h"
#include "db/StallWatchdog.h"

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

// Frees a statement handle however the statement ends.
class StatementHandle
{
public:
    explicit StatementHandle(SQLHSTMT handle) : mHandle(handle) { }
    ~StatementHandle() { SQLFreeHandle(SQL_HANDLE_STMT, mHandle); }
    StatementHandle(const StatementHandle &) = delete;
    StatementHandle &operator=(const StatementHandle &) = delete;
    SQLHSTMT get() const { return mHandle; }

private:
    SQLHSTMT mHandle;
};

}  // namespace

OdbcConnection::OdbcConnection(QString name) : mName(std::move(name))
{ }

OdbcConnection::~OdbcConnection()
{
    stopWatching();
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
    const SQLRETURN rc = SQLDriverConnectW(
        dbc, nullptr, toSqlWChar(text), SQLSMALLINT(text.size()), nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
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
    try {
        mDialect = learnDialect();
        requireUtf8();
    } catch (...) {
        SQLDisconnect(mDbc);
        SQLFreeHandle(SQL_HANDLE_DBC, mDbc);
        mDbc = nullptr;
        throw;
    }
    // MariaDB's driver leaves a statement that waits for a table lock to the
    // server's lock timeouts (a day by default); the session's own give up
    // with the query timeout. A server that refuses them keeps its own.
    if (LiteralRule::family(mDbmsName) == LiteralRule::Family::MySql) {
        try {
            // A second less, so that a lock wait ends as one (1205), not as
            // the query timeout.
            execute(QStringLiteral("set session lock_wait_timeout=%1, innodb_lock_wait_timeout=%1")
                        .arg(QueryTimeoutSeconds - 1));
        } catch (const OdbcError &) { }
    }
    // PostgreSQL: a lock wait ends as lock_not_available (55P03) just before
    // the query timeout would cancel it (57014), so the two read apart.
    if (LiteralRule::family(mDbmsName) == LiteralRule::Family::PostgreSql) {
        try {
            execute(QStringLiteral("set lock_timeout = %1").arg(QueryTimeoutSeconds * 1000 - 500));
        } catch (const OdbcError &) { }
    }
    watchForStalls();
}

void OdbcConnection::watchForStalls()
{
    // The server names both ends of our socket; over a local socket it
    // names none.
    QString query;
    switch (LiteralRule::family(mDbmsName)) {
    case LiteralRule::Family::PostgreSql:
        query = QStringLiteral("select inet_client_port(), inet_server_port()");
        break;
    case LiteralRule::Family::MySql:
        query = QStringLiteral("select substring_index(host, ':', -1), @@port from information_schema.processlist "
                               "where id = connection_id()");
        break;
    default:
        return;
    }
    QList<QStringList> rows;
    try {
        rows = queryRows(query, QString());
    } catch (const OdbcError &) {
        return;
    }
    bool clientOk = false;
    bool serverOk = false;
    const int clientPort = rows.value(0).value(0).toInt(&clientOk);
    const int serverPort = rows.value(0).value(1).toInt(&serverOk);
    if (!clientOk || !serverOk)
        return;
    const int socket = StallWatchdog::findSocket(clientPort, serverPort);
    if (socket >= 0)
        mWatchdog = std::make_unique<StallWatchdog>(socket, std::chrono::seconds(StallLimitSeconds));
}

void OdbcConnection::stopWatching()
{
    mWatchdog.reset();
}

void OdbcConnection::requireUtf8()
{
    const LiteralRule::Family family = LiteralRule::family(mDbmsName);
    if (family == LiteralRule::Family::Standard)
        return;
    const QString nullText = QStringLiteral("<NULL>");
    auto refuse = [&](const QString &why) {
        throw OdbcError(QStringLiteral("Checking the character set"),
            {OdbcDiagnostic {QStringLiteral("HY000"), 0,
                QStringLiteral("The session does not use UTF-8: %1. Nothing is written until it does.").arg(why)}});
    };
    try {
        if (family == LiteralRule::Family::MySql) {
            // A session in another character set (an InitStmt, init_connect)
            // would read the driver's UTF-8 bytes differently: in gbk a
            // multi-byte character can swallow the backslash that escapes an
            // apostrophe. The Chinese character is E4 B8 81 in UTF-8.
            // The driver refuses SET NAMES itself; these are its three parts.
            execute(QStringLiteral("set character_set_client = utf8mb4, character_set_connection = utf8mb4, "
                                   "character_set_results = utf8mb4"));
            const QList<QStringList> rows = queryRows(
                QStringLiteral("select @@character_set_client, @@character_set_connection, hex('\u4e01')"), nullText);
            const QStringList expected = {
                QStringLiteral("utf8mb4"), QStringLiteral("utf8mb4"), QStringLiteral("E4B881")};
            if (rows.size() != 1 || rows.first() != expected)
                refuse(QStringLiteral("character_set_client, character_set_connection and the bytes of a character "
                                      "read %1 instead of %2")
                           .arg(rows.value(0).join(QLatin1Char('/')), expected.join(QLatin1Char('/'))));
        } else {
            const QString query = QStringLiteral("select current_setting('client_encoding')");
            QList<QStringList> rows = queryRows(query, nullText);
            if (rows.value(0).value(0) != QLatin1String("UTF8")) {
                execute(QStringLiteral("set client_encoding = 'UTF8'"));
                rows = queryRows(query, nullText);
            }
            if (rows.value(0).value(0) != QLatin1String("UTF8"))
                refuse(QStringLiteral("client_encoding is %1").arg(rows.value(0).value(0)));
        }
    } catch (const OdbcError &error) {
        if (error.operation() == QLatin1String("Checking the character set"))
            throw;
        refuse(error.describe());
    }
}

SqlDialect OdbcConnection::learnDialect()
{
    const LiteralRule::Family family = LiteralRule::family(mDbmsName);
    const QString query = LiteralRule::settingQuery(family);
    if (query.isEmpty())
        return LiteralRule::fromSetting(family, QString());
    // A NULL or a text with '<' is no value of either setting.
    const QString nullText = QStringLiteral("<NULL>");
    QList<QStringList> rows;
    try {
        rows = queryRows(query, nullText);
    } catch (const OdbcError &error) {
        LiteralRule::cannotTell(family, QStringLiteral("%1 failed: %2").arg(query, error.describe()));
    }
    if (rows.size() != 1 || rows.first().size() != 1)
        LiteralRule::cannotTell(family, QStringLiteral("%1 gave %2 rows").arg(query).arg(rows.size()));
    return LiteralRule::fromSetting(family, rows.first().first());
}

void OdbcConnection::close()
{
    if (!mDbc)
        return;
    // Before the driver closes the socket and its number becomes free.
    stopWatching();
    if (!SQL_SUCCEEDED(SQLDisconnect(mDbc)))
        throw OdbcError::fromHandle(QStringLiteral("SQLDisconnect"), SQL_HANDLE_DBC, mDbc);
    SQLFreeHandle(SQL_HANDLE_DBC, mDbc);
    mDbc = nullptr;
}

bool OdbcConnection::isDead() const
{
    if (!mDbc)
        return false;
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(mDbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
        return false;
    return dead == SQL_CD_TRUE;
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
    // A lock held by another session must not freeze the window. A driver
    // that refuses the attribute still runs the statement.
    SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(QueryTimeoutSeconds)), 0);
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
    const StallWatchdog::Watch watch(mWatchdog.get());
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
    const StallWatchdog::Watch watch(mWatchdog.get());
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, mDbc, SQL_COMMIT)))
        throw OdbcError::fromHandle(operation, SQL_HANDLE_DBC, mDbc);
}

void OdbcConnection::rollback()
{
    const QString operation = QStringLiteral("SQLEndTran(ROLLBACK)");
    requireOpen(operation);
    const StallWatchdog::Watch watch(mWatchdog.get());
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, mDbc, SQL_ROLLBACK)))
        throw OdbcError::fromHandle(operation, SQL_HANDLE_DBC, mDbc);
}

SqlDialect OdbcConnection::dialect() const
{
    return mDialect;
}

QList<QStringList> OdbcConnection::queryRows(const QString &select, const QString &nullText)
{
    QList<QStringList> rows;
    forEachRow(select, nullText, [&rows](const QStringList &row) { rows << row; });
    return rows;
}

bool OdbcConnection::selectWatched(void *stmt, const QString &select)
{
    SQLRETURN rc = SQL_ERROR;
    {
        const StallWatchdog::Watch watch(mWatchdog.get());
        rc = executeDirect(stmt, select);
    }
    if (rc == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(rc))
        throw OdbcError::fromHandle(QStringLiteral("SQLExecDirect"), SQL_HANDLE_STMT, stmt);
    return true;
}

bool OdbcConnection::fetchWatched(void *stmt)
{
    SQLRETURN rc = SQL_ERROR;
    {
        const StallWatchdog::Watch watch(mWatchdog.get());
        rc = SQLFetch(stmt);
    }
    if (rc == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(rc))
        throw OdbcError::fromHandle(QStringLiteral("SQLFetch"), SQL_HANDLE_STMT, stmt);
    return true;
}

void OdbcConnection::forEachRow(
    const QString &select, const QString &nullText, const std::function<void(const QStringList &row)> &visit)
{
    StatementHandle stmt(allocateStatement(QStringLiteral("SQLExecDirect")));
    if (!selectWatched(stmt.get(), select))
        return;

    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)))
        throw OdbcError::fromHandle(QStringLiteral("SQLNumResultCols"), SQL_HANDLE_STMT, stmt.get());

    const qsizetype unit = mNarrowText ? 1 : qsizetype(sizeof(SQLWCHAR));
    QByteArray buffer(4096, Qt::Uninitialized);
    QByteArray collected;
    QStringList row;
    row.reserve(columns);
    while (fetchWatched(stmt.get())) {
        row.clear();
        for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columns); ++column) {
            // Long values come in pieces: each call fills the buffer (less the
            // terminator) until SQL_SUCCESS marks the last piece.
            bool isNull = false;
            collected.clear();
            while (true) {
                SQLLEN indicator = 0;
                const SQLRETURN rc = SQLGetData(stmt.get(), column, mNarrowText ? SQL_C_CHAR : SQL_C_WCHAR,
                    buffer.data(), SQLLEN(buffer.size()), &indicator);
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
            if (isNull)
                row << nullText;
            else if (mNarrowText)
                row << QString::fromUtf8(collected);
            else
                row << fromSqlWChar(reinterpret_cast<const SQLWCHAR *>(collected.constData()), collected.size() / unit);
        }
        visit(row);
    }
}

void OdbcConnection::forEachRowBlock(
    const QString &select, quint64 numberColumns, const std::function<void(const OdbcRowBlock &rows)> &visit)
{
    StatementHandle stmt(allocateStatement(QStringLiteral("SQLExecDirect")));
    // The block's size is set before the statement runs: some drivers fix
    // their cursor when it does.
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(OdbcRowBlock::RowsPerBlock), 0);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    if (!selectWatched(stmt.get(), select))
        return;
    // A driver that cannot fetch blocks says so by the size it kept.
    SQLULEN blockRows = 1;
    if (!SQL_SUCCEEDED(SQLGetStmtAttr(stmt.get(), SQL_ATTR_ROW_ARRAY_SIZE, &blockRows, 0, nullptr)) || blockRows < 1
        || blockRows > SQLULEN(OdbcRowBlock::RowsPerBlock))
        throw OdbcError::fromHandle(QStringLiteral("SQLGetStmtAttr(ROW_ARRAY_SIZE)"), SQL_HANDLE_STMT, stmt.get());

    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)))
        throw OdbcError::fromHandle(QStringLiteral("SQLNumResultCols"), SQL_HANDLE_STMT, stmt.get());
    OdbcRowBlock block(columns, !mNarrowText, numberColumns);
    for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columns); ++column) {
        const bool number = block.isNumber(column - 1);
        const SQLSMALLINT type = number ? SQL_C_DOUBLE : mNarrowText ? SQL_C_CHAR : SQL_C_WCHAR;
        if (!SQL_SUCCEEDED(SQLBindCol(stmt.get(), column, type, block.buffer(column - 1),
                number ? SQLLEN(sizeof(double)) : SQLLEN(block.valueBytes()),
                reinterpret_cast<SQLLEN *>(block.indicators(column - 1)))))
            throw OdbcError::fromHandle(QStringLiteral("SQLBindCol"), SQL_HANDLE_STMT, stmt.get());
    }
    while (true) {
        fetched = 0;
        // SQL_SUCCESS_WITH_INFO (a value cut at MaxChars, 01004) is a row.
        if (!fetchWatched(stmt.get()))
            break;
        block.setRows(qsizetype(std::min(fetched, blockRows)));
        visit(block);
    }
}

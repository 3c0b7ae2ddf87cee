#include "db/OdbcEnvironment.h"

#include "db/OdbcError.h"

#include <sql.h>
#include <sqlext.h>

#include <atomic>

namespace {
std::atomic<bool> sExists {false};
}

OdbcEnvironment::OdbcEnvironment()
{
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw OdbcError(QStringLiteral("SQLAllocHandle(ENV)"),
            {{QStringLiteral("HY001"), 0, QStringLiteral("Cannot allocate the ODBC environment")}});
    const SQLRETURN rc = SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(rc)) {
        OdbcError error = OdbcError::fromHandle(QStringLiteral("SQLSetEnvAttr(ODBC_VERSION)"), SQL_HANDLE_ENV, env);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        throw error;
    }
    mHandle = env;
}

OdbcEnvironment &OdbcEnvironment::process()
{
    // Never deleted: freeing it at exit would fail while a connection is still
    // open, and the process's end releases it anyway. A constructor that
    // throws leaves the static unset, so the next call tries again.
    static OdbcEnvironment *const instance = [] {
        auto *made = new OdbcEnvironment();
        sExists = true;
        return made;
    }();
    return *instance;
}

bool OdbcEnvironment::exists()
{
    return sExists;
}

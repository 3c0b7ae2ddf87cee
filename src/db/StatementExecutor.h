#pragma once

#include <QString>

// How a database reads backslashes inside a text literal. MySQL and MariaDB
// treat them as escapes by default; standard SQL does not.
enum class SqlDialect { Standard, MySql };

// Runs one SQL statement in autocommit. execute() throws OdbcError (a
// std::runtime_error) when the statement fails or no connection is open.
class StatementExecutor
{
public:
    virtual ~StatementExecutor() = default;
    virtual void execute(const QString &statement) = 0;
    virtual SqlDialect dialect() const = 0;
};

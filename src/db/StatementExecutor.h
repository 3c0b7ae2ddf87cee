#pragma once

#include <QString>

// How a database reads backslashes inside a text literal: standard SQL keeps
// them; MySQL and MariaDB by default, and PostgreSQL with
// standard_conforming_strings off, read them as escapes. The connection
// learns which from the server when it opens.
enum class SqlDialect { Standard, BackslashEscapes };

// Runs one SQL statement in autocommit. execute() throws OdbcError (a
// std::runtime_error) when the statement fails or no connection is open.
class StatementExecutor
{
public:
    virtual ~StatementExecutor() = default;
    virtual void execute(const QString &statement) = 0;
    virtual SqlDialect dialect() const = 0;
};

#pragma once

#include "db/StatementExecutor.h"

#include <QString>

// What a backslash means inside a text literal is a setting of the server,
// not a property of its name: PostgreSQL reads it as an escape while
// standard_conforming_strings is off, MySQL and MariaDB unless sql_mode holds
// NO_BACKSLASH_ESCAPES. Every other DBMS is taken as standard SQL.
namespace LiteralRule {

enum class Family { Standard, PostgreSql, MySql };

// By the DBMS name the driver reports ("PostgreSQL", "MariaDB", "MySQL").
Family family(const QString &dbmsName);

// The query whose one value tells the rule; empty for Standard.
QString settingQuery(Family family);

// The rule the setting's value gives. Throws OdbcError (HY000) when the value
// does not say: the bridge never guesses how its texts will be read.
SqlDialect fromSetting(Family family, const QString &value);

// The failure of a server that cannot tell its rule, with why.
[[noreturn]] void cannotTell(Family family, const QString &why);

}  // namespace LiteralRule

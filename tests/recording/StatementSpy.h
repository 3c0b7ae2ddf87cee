#pragma once

#include "db/StatementExecutor.h"

#include <QStringList>

// Passes every statement on to a real connection and keeps what was sent and
// which of them the database accepted.
class StatementSpy : public StatementExecutor
{
public:
    explicit StatementSpy(StatementExecutor &connection) : mConnection(connection) { }

    QStringList statements;
    QStringList accepted;

    // "stations", "fixed_data", ... of each accepted statement, in order.
    QStringList acceptedTables() const
    {
        QStringList tables;
        for (const QString &statement : accepted)
            tables.append(statement.section(QLatin1Char(' '), 2, 2));
        return tables;
    }

    void execute(const QString &statement) override
    {
        statements.append(statement);
        mConnection.execute(statement);
        accepted.append(statement);
    }
    SqlDialect dialect() const override { return mConnection.dialect(); }

private:
    StatementExecutor &mConnection;
};

#pragma once

#include "db/StatementExecutor.h"

#include <QList>
#include <QString>
#include <QStringList>

// One ODBC connection in autocommit, opened from a connection string such as
// "DATABASE=keldan;UID=keldan;PWD=keldan;DSN=keldan-postgres". Every failure
// throws OdbcError with the diagnostics of the handle that failed.
class OdbcConnection : public StatementExecutor
{
public:
    explicit OdbcConnection(QString name);
    ~OdbcConnection() override;

    OdbcConnection(const OdbcConnection &) = delete;
    OdbcConnection &operator=(const OdbcConnection &) = delete;

    QString name() const { return mName; }

    // Connects without ever prompting. Throws 08002 when already open.
    void open(const QString &connectionString);
    bool isOpen() const { return mDbc != nullptr; }
    // Disconnects; does nothing when not open.
    void close();
    // The DBMS name the driver reported when the connection opened.
    QString dbmsName() const { return mDbmsName; }

    void execute(const QString &sql) override;
    SqlDialect dialect() const override;

    // Transactions, for bulk writers; the bridge itself stays in autocommit.
    // With autocommit off every statement joins the open transaction until
    // commit() or rollback() ends it. Each throws OdbcError on failure.
    void setAutocommit(bool on);
    void commit();
    void rollback();

    // Runs a query and returns every value as text, NULL as nullText. The
    // bridge itself never reads; this is for checking what it wrote.
    QList<QStringList> queryRows(const QString &select, const QString &nullText);

private:
    void *allocateStatement(const QString &operation);
    void requireOpen(const QString &operation) const;

    int executeDirect(void *stmt, const QString &sql) const;

    QString mName;
    QString mDbmsName;
    void *mDbc = nullptr;
    // Statement text and results travel as UTF-8 instead of UTF-16.
    bool mNarrowText = false;
};

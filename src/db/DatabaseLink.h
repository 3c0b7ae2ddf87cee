#pragma once

#include "db/StatementExecutor.h"

#include <QString>
#include <QStringList>
#include <memory>

class OdbcConnection;

// The container a connection is opened in. On an ODBC driver manager it
// holds no handle: the database login travels in the connect string.
struct OdbcWorkspace {
    QString name;
    QString user;
    QString password;
    qint32 type = 0;
    bool open = true;
};

// The bridge's one database link: logon opens it from the connection
// settings, logOff closes it, and the store operations execute on it.
class DatabaseLink : public StatementExecutor
{
public:
    static constexpr qint32 dbUseODBC = 1;

    // The status line, with the whole diagnostic as its tooltip on failure,
    // and whoever must know that the link is up (the host's connected flag).
    class View
    {
    public:
        virtual ~View() = default;
        virtual void setStatus(const QString &caption, const QString &detail) = 0;
        // May throw; logon and logOff pass that on.
        virtual void setLinkConnected(bool connected) = 0;
    };

    DatabaseLink();
    ~DatabaseLink() override;

    // A driver's diagnostic may echo what it was given: the password never
    // reaches a log.
    static QString withoutPassword(const QString &text, const QString &password);

    // "ODBC;DATABASE=..;UID=..;PWD=..;DSN=..": plain concatenation, nothing
    // escaped, the data source last.
    static QString connectString(
        const QString &database, const QString &user, const QString &password, const QString &dsn);
    // What the driver manager receives: the same without "ODBC;".
    static QString driverConnectString(
        const QString &database, const QString &user, const QString &password, const QString &dsn);

    // The four tables the bridge writes; logon fails without them.
    static const QStringList &tableNames();

    // Throws what fails (OdbcError from the driver, from a server that
    // cannot tell how it reads a backslash in a literal or whose session
    // does not speak UTF-8, from a database without the bridge's tables, or
    // what the view throws); the link then counts as not connected.
    void logon(
        const QString &dsn, const QString &username, const QString &password, const QString &database, View &view);
    // Throws when the view or closing the connection fails.
    void logOff(View &view);

    // Virtual, with execute, so that a test can stand in for the database.
    virtual bool connected() const { return mConnected; }
    // The driver says the open connection's server is gone.
    virtual bool connectionDead() const;
    // The driver's DBMS name ("SQLite", "PostgreSQL", "MariaDB"); empty
    // before a logon.
    virtual QString dbmsName() const;
    // Runs a query on the open link; true when it gave at least one row.
    // Throws OdbcError.
    virtual bool anyRow(const QString &select);
    const OdbcWorkspace *workspace() const { return mWorkspace.get(); }

    void execute(const QString &statement) override;
    SqlDialect dialect() const override;

private:
    std::unique_ptr<OdbcWorkspace> mWorkspace;
    std::unique_ptr<OdbcConnection> mConnection;
    bool mConnected = false;
};

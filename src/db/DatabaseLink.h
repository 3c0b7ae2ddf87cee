#pragma once

#include "db/StatementExecutor.h"
#include "host/HostApplication.h"

#include <QString>
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

    // The status line, with the whole diagnostic as its tooltip on failure.
    class View
    {
    public:
        virtual ~View() = default;
        virtual void setStatus(const QString &caption, const QString &detail) = 0;
    };

    DatabaseLink();
    ~DatabaseLink() override;

    // "ODBC;DATABASE=..;UID=..;PWD=..;DSN=..": plain concatenation, nothing
    // escaped, the data source last.
    static QString connectString(const QString &database, const QString &user, const QString &password,
                                 const QString &dsn);

    // Never throws: a failure ends as "Error <number>" on the status line.
    void logon(const QString &dsn, const QString &username, const QString &password, const QString &database,
               View &view, HostApplication *host);
    // Throws when the host call or closing the connection fails.
    void logOff(View &view, HostApplication *host);

    bool connected() const { return mConnected; }
    const OdbcWorkspace *workspace() const { return mWorkspace.get(); }
    const OdbcConnection *connection() const { return mConnection.get(); }

    void execute(const QString &statement) override;
    SqlDialect dialect() const override;

private:
    std::unique_ptr<OdbcWorkspace> mWorkspace;
    std::unique_ptr<OdbcConnection> mConnection;
    bool mConnected = false;
};

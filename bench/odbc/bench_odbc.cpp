// Bare autocommit inserts through OdbcConnection, per database: the floor
// under everything the bridge stores. SQLite runs twice, through the data
// source (WAL, synchronous=NORMAL) and with the driver's defaults (rollback
// journal, full sync), to show what the data source's settings are worth.
//
//   bench_odbc [inserts per database, default 3000] [database...]
//
// Needs ODBCSYSINI=<repo>/odbc and ODBCINI=<dbservers>/odbc.ini with the
// servers of scripts/db-servers.sh running; see run.sh.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

QString stationsRow(int i)
{
    return QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,"
                          "symbol,object_owner) values ('N0CALL-%1','2004-05-06 14:%2:%3','2',12.5,3090.25,-7.5,1,1,"
                          "'/>','')")
        .arg(i % 16)
        .arg((i / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(i % 60, 2, 10, QLatin1Char('0'));
}

bool run(const QString &label, const TestDatabase &db, const QString &connectionString, int count)
{
    try {
        OdbcConnection connection(QStringLiteral("Connection1"));
        connection.open(connectionString);
        // The tables are made on this same connection: through the data
        // source, SQLite would turn the fresh file to WAL for good.
        for (const char *table : {"stations", "fixed_data", "mobile_data", "wx_data"})
            connection.execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table));
        QFile schema(schemaFile(db));
        if (!schema.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(schema.fileName()), qPrintable(schema.errorString()));
            return false;
        }
        for (const QString &statement : splitSqlScript(QString::fromUtf8(schema.readAll())))
            connection.execute(statement);
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i)
            connection.execute(stationsRow(i));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const QString stored =
            connection.queryRows(QStringLiteral("select count(*) from stations"), "<NULL>").value(0).value(0);
        QString settings;
        if (db.name == QLatin1String("sqlite")) {
            const auto pragma = [&](const char *name) {
                return connection.queryRows(QStringLiteral("pragma %1").arg(name), "<NULL>").value(0).value(0);
            };
            settings =
                QStringLiteral(", journal %1, synchronous %2").arg(pragma("journal_mode"), pragma("synchronous"));
        }
        connection.close();
        std::printf("%-16s %6d inserts  %7.3f s  %8.0f inserts/s  %7.1f us each  (%s rows stored%s)\n",
            qPrintable(label), count, seconds, count / seconds, seconds * 1e6 / count, qPrintable(stored),
            qPrintable(settings));
        return stored == QString::number(count);
    } catch (const OdbcError &error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(label), qPrintable(error.describe()));
        return false;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int count = 3000;
    if (!args.isEmpty() && args.first().toInt() > 0)
        count = args.takeFirst().toInt();
    if (args.isEmpty())
        args = QStringList {"sqlite", "sqlite-rollback", "postgres", "mariadb"};

    QTemporaryDir dir;
    bool ok = true;
    for (const QString &name : args) {
        if (name == QLatin1String("sqlite-rollback")) {
            // Same file, but without the data source and so without its
            // pragmas; the journal mode is a property of the file, so start
            // from a fresh one.
            const TestDatabase db = testDatabase(QStringLiteral("sqlite"), dir.filePath("rollback.db"));
            ok &= run(name, db, QStringLiteral("DRIVER=SQLite3;DATABASE=%1").arg(db.database), count);
            continue;
        }
        const TestDatabase db = testDatabase(name, dir.filePath("wal.db"));
        ok &= run(name, db, db.connectionString(), count);
    }
    return ok ? 0 : 1;
}

// What the ODBC layer does the same on every database is tested on all three
// in tst_odbcdatabases; here is what needs no server or is SQLite's own: the
// connect string, the connection's life, the environment, an unknown data
// source, the stored types and bytes, the journal mode of the project's data
// source.

#include "TestDatabases.h"
#include "db/DatabaseLink.h"
#include "db/OdbcConnection.h"
#include "db/OdbcEnvironment.h"
#include "db/OdbcError.h"

#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

class TestOdbcSqlite : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void connectString_data();
    void connectString();
    void connectionLifecycle();
    void environmentIsMadeOnceAndKept();
    void unknownDataSource();
    void storedTypesAndBytes();
    void journalIsWal();
    void rowByRowStopsWhenTheVisitorThrows();

private:
    std::unique_ptr<QTemporaryDir> mDir;
    TestDatabase mDb;
};

void TestOdbcSqlite::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mDb = testDatabase(QStringLiteral("sqlite"), mDir->filePath(QStringLiteral("keldan.db")));
    recreateTables(mDb);
}

void TestOdbcSqlite::connectString_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("dsn");
    QTest::addColumn<QString>("expected");
    QTest::addRow("the default settings, an empty password") << "TEST"
                                                             << "sa"
                                                             << ""
                                                             << "myodbc3-test"
                                                             << "ODBC;DATABASE=TEST;UID=sa;PWD=;DSN=myodbc3-test";
    // Nothing is escaped or braced, although it changes what the driver reads.
    QTest::addRow("values holding ; and = pass unchanged") << "TEST;X=1"
                                                           << "sa=op"
                                                           << "p;w=d"
                                                           << "my;dsn"
                                                           << "ODBC;DATABASE=TEST;X=1;UID=sa=op;PWD=p;w=d;DSN=my;dsn";
    // The settings file stores a typed comma as a bar and never turns it back.
    QTest::addRow("a comma arrives as a bar") << "TEST"
                                              << "Ham|Op"
                                              << "a|b"
                                              << "myodbc3-test"
                                              << "ODBC;DATABASE=TEST;UID=Ham|Op;PWD=a|b;DSN=myodbc3-test";
}

void TestOdbcSqlite::connectString()
{
    QFETCH(QString, database);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, dsn);
    QFETCH(QString, expected);
    QCOMPARE(DatabaseLink::connectString(database, user, password, dsn), expected);
    // The driver manager gets what follows "ODBC;".
    QCOMPARE(DatabaseLink::driverConnectString(database, user, password, dsn), expected.mid(5));
}

void TestOdbcSqlite::connectionLifecycle()
{
    OdbcConnection connection(QStringLiteral("Connection1"));
    QVERIFY(!connection.isOpen());
    connection.open(mDb.connectionString());
    QVERIFY(connection.isOpen());
    connection.close();
    QVERIFY(!connection.isOpen());
    // Closing twice is harmless; opening again works on the same object.
    connection.close();
    connection.open(mDb.connectionString());
    QVERIFY(connection.isOpen());
    // An open connection is not silently replaced.
    try {
        connection.open(mDb.connectionString());
        QFAIL("opened an open connection again");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), QStringLiteral("08002"));
        QCOMPARE(error.statusNumber(), 6008);
    }
    QVERIFY(connection.isOpen());
    connection.execute(QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                                      "values ('W1','2004-05-06 14:30:00','','','')"));
}

void TestOdbcSqlite::environmentIsMadeOnceAndKept()
{
    OdbcEnvironment &first = OdbcEnvironment::process();
    QVERIFY(OdbcEnvironment::exists());
    QVERIFY(first.handle() != nullptr);
    {
        OdbcConnection connection(QStringLiteral("Connection1"));
        connection.open(mDb.connectionString());
    }
    QCOMPARE(&OdbcEnvironment::process(), &first);
    QCOMPARE(OdbcEnvironment::process().handle(), first.handle());
}

void TestOdbcSqlite::unknownDataSource()
{
    OdbcConnection connection(QStringLiteral("Connection1"));
    try {
        connection.open(QStringLiteral("DATABASE=x;UID=sa;PWD=;DSN=no-such-source"));
        QFAIL("connected to a data source that does not exist");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), QStringLiteral("IM002"));
        QCOMPARE(error.nativeError(), 0);
        QCOMPARE(error.statusNumber(), 6001);
        QVERIFY2(error.describe().startsWith(QLatin1String("IM002 [0] ")), qPrintable(error.describe()));
        QVERIFY2(error.describe().contains(QLatin1String("Data source name not found")), qPrintable(error.describe()));
        QVERIFY(QString::fromStdString(error.what()).startsWith(QLatin1String("SQLDriverConnect failed: IM002")));
    }
    QVERIFY(!connection.isOpen());
}

void TestOdbcSqlite::storedTypesAndBytes()
{
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(mDb.connectionString());
    // Quoted numbers take the column's numeric type, not text.
    connection.execute(QStringLiteral("insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) "
                                      "values ('N0CALL-9','2004-05-06 14:30:00','120.5','12.5','','-1')"));
    // hex() shows the stored bytes, so a wrong encoding cannot hide behind a
    // matching wrong decoding on the way back.
    const QString text = QStringLiteral("20°C 📡");
    connection.execute(QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                                      "values ('W1','2004-05-06 14:30:00','%1','','')")
                           .arg(text));
    connection.close();
    QCOMPARE(queryRows(mDb, QStringLiteral("select typeof(course), typeof(speed) from mobile_data")),
        (QList<QStringList> {{"integer", "real"}}));
    QCOMPARE(queryRows(mDb, QStringLiteral("select hex(status) from fixed_data")),
        (QList<QStringList> {{QString::fromLatin1(text.toUtf8().toHex().toUpper())}}));
}

void TestOdbcSqlite::journalIsWal()
{
    QCOMPARE(queryRows(mDb, QStringLiteral("pragma journal_mode")), QList<QStringList> {{"wal"}});
    QCOMPARE(queryRows(mDb, QStringLiteral("pragma synchronous")), QList<QStringList> {{"1"}});
}

// forEachRow hands rows over as they are fetched; a visitor that throws ends
// the fetch, its exception passes through, and the connection goes on.
void TestOdbcSqlite::rowByRowStopsWhenTheVisitorThrows()
{
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(mDb.connectionString());
    for (int i = 1; i <= 3; ++i)
        connection.execute(QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                                          "values ('W%1','2004-05-06 14:30:0%1',NULL,'','')")
                               .arg(i));
    QList<QStringList> seen;
    try {
        connection.forEachRow(QStringLiteral("select fk_callsign, status from fixed_data order by fk_callsign"),
            QStringLiteral("<NULL>"), [&seen](const QStringList &row) {
                seen << row;
                if (seen.size() == 2)
                    throw std::runtime_error("enough");
            });
        QFAIL("the visitor's exception did not pass through");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("enough"));
    }
    QCOMPARE(seen, (QList<QStringList> {{"W1", "<NULL>"}, {"W2", "<NULL>"}}));
    connection.execute(QStringLiteral("delete from fixed_data"));
    QCOMPARE(
        connection.queryRows(QStringLiteral("select count(*) from fixed_data"), QString()), QList<QStringList> {{"0"}});
}

QTEST_GUILESS_MAIN(TestOdbcSqlite)
#include "tst_odbcsqlite.moc"

// The ODBC layer against the real SQLite ODBC driver, through the project's
// data source myodbc3-test: needs no server.

#include "TestDatabases.h"
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

    void connectsWithTheBridgeString();
    void environmentIsMadeOnceAndKept();
    void unknownDataSource();
    void executeOnClosedConnection();
    void syntaxErrorCarriesTheDriverText();
    void schemaRunsTwice();
    void bridgeStatementsStoreTheirValues_data();
    void bridgeStatementsStoreTheirValues();
    void textRoundTrip_data();
    void textRoundTrip();
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

void TestOdbcSqlite::connectsWithTheBridgeString()
{
    QCOMPARE(mDb.connectionString(),
             QStringLiteral("DATABASE=%1;UID=sa;PWD=;DSN=myodbc3-test").arg(mDir->filePath("keldan.db")));
    OdbcConnection connection(QStringLiteral("Connection1"));
    QVERIFY(!connection.isOpen());
    connection.open(mDb.connectionString());
    QVERIFY(connection.isOpen());
    QCOMPARE(connection.dbmsName(), QStringLiteral("SQLite"));
    QCOMPARE(connection.dialect(), SqlDialect::Standard);
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

void TestOdbcSqlite::executeOnClosedConnection()
{
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(mDb.connectionString());
    connection.close();
    try {
        connection.execute(QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                                          "values ('W1','2004-05-06 14:30:00','','','')"));
        QFAIL("executed on a closed connection");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), QStringLiteral("08003"));
        QCOMPARE(error.statusNumber(), 6008);
        QCOMPARE(error.describe(), QStringLiteral("08003 [0] Connection not open"));
    }
    QCOMPARE(queryRows(mDb, QStringLiteral("select count(*) from fixed_data")), QList<QStringList>{{"0"}});
}

void TestOdbcSqlite::syntaxErrorCarriesTheDriverText()
{
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(mDb.connectionString());
    try {
        connection.execute(QStringLiteral("insert into stations (callsign values ('x')"));
        QFAIL("the driver accepted a broken statement");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), QStringLiteral("HY000"));
        QVERIFY2(error.describe().contains(QLatin1String("syntax error")), qPrintable(error.describe()));
        QVERIFY(error.statusNumber() != 0);
    }
    // A failed statement leaves the connection usable.
    connection.execute(QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                                      "values ('W1','2004-05-06 14:30:00','','','')"));
}

void TestOdbcSqlite::schemaRunsTwice()
{
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(mDb.connectionString());
    connection.execute(QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                                      "values ('W1','2004-05-06 14:30:00','kept','','')"));
    QFile file(schemaFile(mDb));
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QString &statement : splitSqlScript(QString::fromUtf8(file.readAll())))
        connection.execute(statement);
    QCOMPARE(queryRows(mDb, QStringLiteral("select status from fixed_data")), QList<QStringList>{{"kept"}});
}

void TestOdbcSqlite::bridgeStatementsStoreTheirValues_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("stations row of a mobile station heard direct")
        << QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,"
                          "symbol,object_owner) values ('N0CALL-9','2004-05-06 14:30:00','2',12.5,3090.25,-7.5,1,1,"
                          "'/>','')")
        << QStringLiteral("select callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,symbol,object_owner"
                          " from stations")
        << QStringList{"N0CALL-9", "2004-05-06 14:30:00", "2", "12.5", "3090.25", "-7.5", "1", "1", "/>", ""};
    QTest::addRow("weather row without a blank before values")
        << QStringLiteral("insert into wx_data (fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,"
                          "rain_last_hour,rain_today,temp,wind_chill,wind_direction,wind_gust,wind_speed)values "
                          "('W1','2004-05-06 14:30:00','1013.2','0','55','0','0','0','-3.5','0','0','0','0')")
        << QStringLiteral("select fk_callsign,fk_dtstamp,pressure,humidity,temp,wind_speed from wx_data")
        << QStringList{"W1", "2004-05-06 14:30:00", "1013.2", "55.0", "-3.5", "0.0"};
    QTest::addRow("mobile row with quoted numbers")
        << QStringLiteral("insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) "
                          "values ('N0CALL-9','2004-05-06 14:30:00','120.5','12.5','WIDE1-1,WIDE2-1','-1')")
        << QStringLiteral("select fk_callsign,height,speed,path,course,typeof(course),typeof(speed) from mobile_data")
        << QStringList{"N0CALL-9", "120.5", "12.5", "WIDE1-1,WIDE2-1", "-1", "integer", "real"};
    QTest::addRow("fixed row with a 300-character comment")
        << QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                          "values ('OBJ1','2004-05-06 14:30:00','on air','%1','WIDE1-1')")
               .arg(QString(300, QLatin1Char('c')))
        << QStringLiteral("select status,length(comment),path from fixed_data")
        << QStringList{"on air", "300", "WIDE1-1"};
    QTest::addRow("doubled apostrophe stores one")
        << QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                          "values ('W1','2004-05-06 14:30:00','Bob''s shack','','')")
        << QStringLiteral("select status from fixed_data") << QStringList{"Bob's shack"};
}

void TestOdbcSqlite::bridgeStatementsStoreTheirValues()
{
    QFETCH(QString, statement);
    QFETCH(QString, select);
    QFETCH(QStringList, expected);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(mDb.connectionString());
    connection.execute(statement);
    connection.close();
    QCOMPARE(queryRows(mDb, select), QList<QStringList>{expected});
}

void TestOdbcSqlite::textRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("degree sign") << QStringLiteral("20°C");
    QTest::addRow("Danish letters") << QStringLiteral("Ærø");
    QTest::addRow("y with diaeresis") << QStringLiteral("ÿ");
    QTest::addRow("outside the BMP") << QStringLiteral("📡 QRV");
}

void TestOdbcSqlite::textRoundTrip()
{
    QFETCH(QString, text);
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(mDb.connectionString());
    connection.execute(QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) "
                                      "values ('W1','2004-05-06 14:30:00','%1','','')")
                           .arg(text));
    // hex() shows the stored bytes, so a wrong encoding cannot hide behind a
    // matching wrong decoding on the way back.
    const QString hex = QString::fromLatin1(text.toUtf8().toHex().toUpper());
    QCOMPARE(queryRows(mDb, QStringLiteral("select status, hex(status) from fixed_data")),
             (QList<QStringList>{{text, hex}}));
}

void TestOdbcSqlite::journalIsWal()
{
    QCOMPARE(queryRows(mDb, QStringLiteral("pragma journal_mode")), QList<QStringList>{{"wal"}});
    QCOMPARE(queryRows(mDb, QStringLiteral("pragma synchronous")), QList<QStringList>{{"1"}});
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
    QCOMPARE(seen, (QList<QStringList>{{"W1", "<NULL>"}, {"W2", "<NULL>"}}));
    connection.execute(QStringLiteral("delete from fixed_data"));
    QCOMPARE(connection.queryRows(QStringLiteral("select count(*) from fixed_data"), QString()),
             QList<QStringList>{{"0"}});
}

QTEST_GUILESS_MAIN(TestOdbcSqlite)
#include "tst_odbcsqlite.moc"

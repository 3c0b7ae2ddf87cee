// Logon-level facts and the schema scripts against the three real databases:
// SQLite through its driver, PostgreSQL and MariaDB on the servers that
// scripts/db-servers.sh starts.

#include "TestDatabases.h"
#include "db/DatabaseLink.h"
#include "db/FailureKind.h"
#include "db/LiteralRule.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "recording/StationStatements.h"
#include "recording/ValueText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/types.h>
#include <thread>

namespace {

const QString Stations = QStringLiteral(
    "insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,symbol,object_owner) ");
const QString Fixed = QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) ");
const QString Mobile = QStringLiteral("insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) ");
const QString Weather = QStringLiteral(
    "insert into wx_data (fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,rain_last_hour,rain_today,"
    "temp,wind_chill,wind_direction,wind_gust,wind_speed)");

// Numbers come back in each database's own text form ("55", "55.0"), so
// numbers compare by value and everything else by text.
bool sameValue(const QString &actual, const QString &expected)
{
    bool actualIsNumber = false;
    bool expectedIsNumber = false;
    const double a = actual.toDouble(&actualIsNumber);
    const double e = expected.toDouble(&expectedIsNumber);
    if (actualIsNumber && expectedIsNumber)
        return a == e;
    return actual == expected;
}

// The stored bytes of a text column in hex, upper case.
QString hexOf(const TestDatabase &db, const QString &column)
{
    if (db.name == QLatin1String("postgres"))
        return QStringLiteral("upper(encode(convert_to(%1, 'UTF8'), 'hex'))").arg(column);
    return QStringLiteral("hex(%1)").arg(column);
}

}  // namespace

class TestOdbcDatabases : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void logon_data();
    void logon();
    void refusedLogon_data();
    void refusedLogon();
    void executeOnClosedConnection_data();
    void executeOnClosedConnection();
    void syntaxError_data();
    void syntaxError();
    void schemaScriptRunsAgain_data();
    void schemaScriptRunsAgain();
    void bridgeStatements_data();
    void bridgeStatements();
    void texts_data();
    void texts();
    void backslashFollowsTheDialect_data();
    void backslashFollowsTheDialect();
    void literalRuleFollowsTheServer_data();
    void literalRuleFollowsTheServer();
    void literalRuleUnknown_data();
    void literalRuleUnknown();
    void serverStoppedMidRun_data();
    void serverStoppedMidRun();
    void pausedServerCountsAsLost_data();
    void pausedServerCountsAsLost();
    void mariadbIsStrict();
    void lockedTableTimesOut_data();
    void lockedTableTimesOut();
    void failureKinds_data();
    void failureKinds();
    void logonNeedsTheTables_data();
    void logonNeedsTheTables();
    void sessionSpeaksUtf8_data();
    void sessionSpeaksUtf8();
    void sameBeaconQueryFindsTheRow_data();
    void sameBeaconQueryFindsTheRow();

private:
    TestDatabase database(const QString &name) const { return testDatabase(name, mSqliteFile); }
    void addDatabaseRows() const;

    QTemporaryDir mDir;
    QString mSqliteFile;
};

void TestOdbcDatabases::initTestCase()
{
    QVERIFY(mDir.isValid());
    mSqliteFile = mDir.filePath(QStringLiteral("keldan.db"));
}

void TestOdbcDatabases::init()
{
    // Rows are tagged "<database>" or "<database>: <case>".
    const QString name = QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(':'), 0, 0);
    if (!QStringList {"sqlite", "postgres", "mariadb"}.contains(name))
        return;
    const TestDatabase db = database(name);
    KELDAN_REQUIRE_DATABASE(db);
    try {
        recreateTables(db);
    } catch (const OdbcError &error) {
        QFAIL(qPrintable(QStringLiteral("cannot create the tables: ") + error.describe()));
    }
}

void TestOdbcDatabases::addDatabaseRows() const
{
    QTest::addColumn<QString>("name");
    for (const TestDatabase &db : testDatabases(mSqliteFile))
        QTest::addRow("%s", qPrintable(db.name)) << db.name;
}

void TestOdbcDatabases::logon_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("dbmsName");
    QTest::addColumn<SqlDialect>("dialect");

    QTest::addRow("sqlite") << "sqlite" << QStringLiteral("DATABASE=%1;UID=sa;PWD=;DSN=myodbc3-test").arg(mSqliteFile)
                            << "SQLite" << SqlDialect::Standard;
    QTest::addRow("postgres") << "postgres"
                              << "DATABASE=keldan;UID=keldan;PWD=keldan;DSN=keldan-postgres"
                              << "PostgreSQL" << SqlDialect::Standard;
    QTest::addRow("mariadb") << "mariadb"
                             << "DATABASE=keldan;UID=keldan;PWD=keldan;DSN=keldan-mariadb"
                             << "MariaDB" << SqlDialect::BackslashEscapes;
}

void TestOdbcDatabases::logon()
{
    QFETCH(QString, name);
    QFETCH(QString, connectionString);
    QFETCH(QString, dbmsName);
    QFETCH(SqlDialect, dialect);

    const TestDatabase db = database(name);
    QCOMPARE(db.connectionString(), connectionString);
    QCOMPARE(db.defaultDialect, dialect);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(connectionString);
    QVERIFY(connection.isOpen());
    QCOMPARE(connection.name(), QStringLiteral("Connection1"));
    QCOMPARE(connection.dbmsName(), dbmsName);
    QCOMPARE(connection.dialect(), dialect);
    QCOMPARE(connection.queryRows(QStringLiteral("select 6*7"), QStringLiteral("<NULL>")), QList<QStringList> {{"42"}});
    connection.close();
    QVERIFY(!connection.isOpen());
}

void TestOdbcDatabases::refusedLogon_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<int>("statusNumber");
    QTest::addColumn<QString>("text");

    // SQLite has no login: the driver ignores UID and PWD. What it can refuse
    // is a database file it cannot create.
    QTest::addRow("sqlite: database file in a missing folder")
        << "sqlite" << QStringLiteral("DATABASE=%1;UID=sa;PWD=;DSN=myodbc3-test").arg(mDir.filePath("none/x.db"))
        << "HY000" << 14 << "[SQLite]connect failed";
    QTest::addRow("postgres: wrong password") << "postgres"
                                              << "DATABASE=keldan;UID=keldan;PWD=wrong;DSN=keldan-postgres"
                                              << "08001" << 101 << "password authentication failed for user \"keldan\"";
    QTest::addRow("postgres: unknown user") << "postgres"
                                            << "DATABASE=keldan;UID=nobody;PWD=keldan;DSN=keldan-postgres"
                                            << "08001" << 101 << "password authentication failed for user \"nobody\"";
    QTest::addRow("postgres: unknown database") << "postgres"
                                                << "DATABASE=nosuchdb;UID=keldan;PWD=keldan;DSN=keldan-postgres"
                                                << "08001" << 101 << "database \"nosuchdb\" does not exist";
    QTest::addRow("mariadb: wrong password")
        << "mariadb"
        << "DATABASE=keldan;UID=keldan;PWD=wrong;DSN=keldan-mariadb"
        << "28000" << 1045 << "Access denied for user 'keldan'@'127.0.0.1' (using password: YES)";
    QTest::addRow("mariadb: empty password")
        << "mariadb"
        << "DATABASE=keldan;UID=keldan;PWD=;DSN=keldan-mariadb"
        << "28000" << 1045 << "Access denied for user 'keldan'@'127.0.0.1' (using password: NO)";
    QTest::addRow("mariadb: unknown database")
        << "mariadb"
        << "DATABASE=nosuchdb;UID=keldan;PWD=keldan;DSN=keldan-mariadb"
        << "42000" << 1044 << "Access denied for user 'keldan'@'%' to database 'nosuchdb'";
}

void TestOdbcDatabases::refusedLogon()
{
    QFETCH(QString, connectionString);
    QFETCH(QString, sqlState);
    QFETCH(int, statusNumber);
    QFETCH(QString, text);

    OdbcConnection connection(QStringLiteral("Connection1"));
    try {
        connection.open(connectionString);
        QFAIL("the database accepted the logon");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), sqlState);
        QCOMPARE(error.statusNumber(), statusNumber);
        QVERIFY2(error.describe().contains(text), qPrintable(error.describe()));
        QVERIFY(error.describe().startsWith(QStringLiteral("%1 [%2] ").arg(sqlState).arg(error.nativeError())));
    }
    QVERIFY(!connection.isOpen());
    QCOMPARE(connection.dbmsName(), QString());
}

void TestOdbcDatabases::executeOnClosedConnection_data()
{
    addDatabaseRows();
}

void TestOdbcDatabases::executeOnClosedConnection()
{
    QFETCH(QString, name);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    connection.close();
    try {
        connection.execute(Fixed + "values ('W1','2004-05-06 14:30:00','','','')");
        QFAIL("a closed connection ran a statement");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), QStringLiteral("08003"));
        QCOMPARE(error.statusNumber(), 6008);
        QCOMPARE(error.describe(), QStringLiteral("08003 [0] Connection not open"));
    }
    QCOMPARE(queryRows(db, QStringLiteral("select count(*) from fixed_data")), QList<QStringList> {{"0"}});
}

void TestOdbcDatabases::syntaxError_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<int>("statusNumber");
    QTest::addColumn<QString>("text");

    QTest::addRow("sqlite") << "sqlite"
                            << "HY000" << 1 << "near \"values\": syntax error";
    QTest::addRow("postgres") << "postgres"
                              << "42601" << 1 << "syntax error at or near \"values\"";
    QTest::addRow("mariadb") << "mariadb"
                             << "42000" << 1064 << "You have an error in your SQL syntax";
}

void TestOdbcDatabases::syntaxError()
{
    QFETCH(QString, name);
    QFETCH(QString, sqlState);
    QFETCH(int, statusNumber);
    QFETCH(QString, text);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    try {
        connection.execute(QStringLiteral("insert into fixed_data (fk_callsign values ('W1')"));
        QFAIL("the database accepted a broken statement");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), sqlState);
        QCOMPARE(error.statusNumber(), statusNumber);
        QVERIFY2(error.describe().contains(text), qPrintable(error.describe()));
    }
    // Autocommit: the failure leaves nothing open, and the next statement runs.
    connection.execute(Fixed + "values ('W1','2004-05-06 14:30:00','after','','')");
    connection.close();
    QCOMPARE(queryRows(db, QStringLiteral("select status from fixed_data")), QList<QStringList> {{"after"}});
}

void TestOdbcDatabases::schemaScriptRunsAgain_data()
{
    addDatabaseRows();
}

void TestOdbcDatabases::schemaScriptRunsAgain()
{
    QFETCH(QString, name);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    connection.execute(Fixed + "values ('W1','2004-05-06 14:30:00','kept','','')");
    QFile file(schemaFile(db));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QStringList statements = splitSqlScript(QString::fromUtf8(file.readAll()));
    QVERIFY(statements.size() >= 4);
    for (const QString &statement : statements)
        connection.execute(statement);
    connection.close();
    QCOMPARE(queryRows(db, QStringLiteral("select status from fixed_data")), QList<QStringList> {{"kept"}});
}

void TestOdbcDatabases::bridgeStatements_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QStringList>("expected");

    struct Case {
        const char *tag;
        QString statement;
        QString select;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"stations row of a mobile station heard direct",
            Stations + "values ('N0CALL-9','2004-05-06 14:30:00','2',12.5,3090.25,-7.5,1,1,'/>','')",
            "select callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,symbol,object_owner from stations",
            {"N0CALL-9", "2004-05-06 14:30:00", "2", "12.5", "3090.25", "-7.5", "1", "1", "/>", ""}},
        {"stations row of an object with its owner",
            Stations + "values ('LEADVILLE','2004-02-03 07:05:09','0',0,3915.27,-10617.9,0,2,'/#','KB0ZZZ-15')",
            "select callsign,dtstamp,type,lat,lon,heard_direct,radio_port,symbol,object_owner from stations",
            {"LEADVILLE", "2004-02-03 07:05:09", "0", "3915.27", "-10617.9", "0", "2", "/#", "KB0ZZZ-15"}},
        {"stations row with numbers in exponent notation",
            Stations + "values ('W1','2004-05-06 14:30:00','1',1.234568E+07,1E-05,-0.25,0,-1,'/_','')",
            "select distance,lat,lon,radio_port from stations", {"12345680", "0.00001", "-0.25", "-1"}},
        {"numbers keep more than single precision",
            Stations + "values ('W1','2004-05-06 14:30:00','1',16777217,3090.123456,-7.000001,0,1,'/_','')",
            "select distance,lat,lon from stations", {"16777217", "3090.123456", "-7.000001"}},
        {"weather row without a blank before values",
            Weather + "values ('W1','2004-05-06 14:30:00','1013.2','0','55','0','0','0','-3.5','0','0','0','0')",
            "select fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,rain_last_hour,rain_today,temp,"
            "wind_chill,wind_direction,wind_gust,wind_speed from wx_data",
            {"W1", "2004-05-06 14:30:00", "1013.2", "0", "55", "0", "0", "0", "-3.5", "0", "0", "0", "0"}},
        {"weather values keep seven digits",
            Weather
                + "values ('W1','2004-05-06 14:30:00','1013.247','-12.375','100','25.4','0.254','12.7','37.77778',"
                  "'-17.1','359','88.51','1.234568E+07')",
            "select pressure,dewpoint,rain_last_hour,temp,wind_direction,wind_gust,wind_speed from wx_data",
            {"1013.247", "-12.375", "0.254", "37.77778", "359", "88.51", "12345680"}},
        {"mobile row with quoted numbers",
            Mobile + "values ('N0CALL-9','2004-05-06 14:30:00','120.5','12.5','WIDE1-1,WIDE2-1','-1')",
            "select fk_callsign,fk_dtstamp,height,speed,path,course from mobile_data",
            {"N0CALL-9", "2004-05-06 14:30:00", "120.5", "12.5", "WIDE1-1,WIDE2-1", "-1"}},
        {"quoted numbers are stored as numbers",
            Mobile + "values ('N0CALL-9','2004-05-06 14:30:00','120.5','12.5','','359')",
            "select course+1,height*2,speed+0.25 from mobile_data", {"360", "241", "12.75"}},
        {"fixed row", Fixed + "values ('N0CALL','2004-05-06 14:30:00','QRV 145.500','Home station','WIDE2-2')",
            "select fk_callsign,fk_dtstamp,status,comment,path from fixed_data",
            {"N0CALL", "2004-05-06 14:30:00", "QRV 145.500", "Home station", "WIDE2-2"}},
        {"fixed row of empty texts", Fixed + "values ('N0CALL','2004-05-06 14:30:00','','','')",
            "select status,comment,path from fixed_data", {"", "", ""}},
        {"detail row without its stations row", Fixed + "values ('ORPHAN','2004-05-06 14:30:00','','','')",
            "select count(*) from fixed_data where fk_callsign='ORPHAN'", {"1"}},
    };
    for (const TestDatabase &db : testDatabases(mSqliteFile)) {
        for (const Case &c : cases)
            QTest::addRow("%s: %s", qPrintable(db.name), c.tag) << db.name << c.statement << c.select << c.expected;
    }
}

void TestOdbcDatabases::bridgeStatements()
{
    QFETCH(QString, name);
    QFETCH(QString, statement);
    QFETCH(QString, select);
    QFETCH(QStringList, expected);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    connection.execute(statement);
    connection.close();

    const QList<QStringList> rows = queryRows(db, select);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QVERIFY2(sameValue(rows.first().at(i), expected.at(i)),
            qPrintable(QStringLiteral("column %1: got \"%2\", expected \"%3\"")
                           .arg(i + 1)
                           .arg(rows.first().at(i), expected.at(i))));
    }
}

void TestOdbcDatabases::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("stored");

    const QString longText = QStringLiteral("WIDE1-1,WIDE2-2 ").repeated(19).left(300);
    struct Case {
        const char *tag;
        QString literal;
        QString stored;
    };
    const QList<Case> cases = {
        {"degree sign", QStringLiteral("20°C"), QStringLiteral("20°C")},
        {"Danish letters", QStringLiteral("Ærø"), QStringLiteral("Ærø")},
        {"y with diaeresis", QStringLiteral("ÿ"), QStringLiteral("ÿ")},
        {"character beyond the BMP", QStringLiteral("QRV 📡 73"), QStringLiteral("QRV 📡 73")},
        {"doubled apostrophe", QStringLiteral("Bob''s shack"), QStringLiteral("Bob's shack")},
        {"300 characters", longText, longText},
        {"300 characters of two bytes each", QString(300, QChar(0xE6)), QString(300, QChar(0xE6))},
    };
    for (const TestDatabase &db : testDatabases(mSqliteFile)) {
        for (const Case &c : cases)
            QTest::addRow("%s: %s", qPrintable(db.name), c.tag) << db.name << c.literal << c.stored;
    }
}

// Every free-text column takes the text, and the database holds it as UTF-8.
void TestOdbcDatabases::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, literal);
    QFETCH(QString, stored);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    connection.execute(Fixed + QStringLiteral("values ('W1','2004-05-06 14:30:00','%1','%1','%1')").arg(literal));
    connection.execute(
        Stations + QStringLiteral("values ('W1','2004-05-06 14:30:00','0',0,0,0,0,0,'%1','%1')").arg(literal));
    connection.close();

    const QString hex = QString::fromLatin1(stored.toUtf8().toHex().toUpper());
    QCOMPARE(queryRows(db, QStringLiteral("select status,comment,path,%1 from fixed_data").arg(hexOf(db, "status"))),
        (QList<QStringList> {{stored, stored, stored, hex}}));
    QCOMPARE(
        queryRows(db, QStringLiteral("select symbol,object_owner,%1 from stations").arg(hexOf(db, "object_owner"))),
        (QList<QStringList> {{stored, stored, hex}}));
}

void TestOdbcDatabases::backslashFollowsTheDialect_data()
{
    addDatabaseRows();
}

// What the dialect promises: MariaDB reads a backslash in a literal as an
// escape, the others keep it.
void TestOdbcDatabases::backslashFollowsTheDialect()
{
    QFETCH(QString, name);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    const QString written = connection.dialect() == SqlDialect::BackslashEscapes ? QStringLiteral("a\\\\b\\\\n")
                                                                                 : QStringLiteral("a\\b\\n");
    connection.execute(Fixed + QStringLiteral("values ('W1','2004-05-06 14:30:00','%1','','')").arg(written));
    connection.execute(Fixed + QStringLiteral("values ('W2','2004-05-06 14:30:00','%1','','')").arg("a\\b\\n"));
    connection.close();

    const QList<QStringList> rows = queryRows(db,
        QStringLiteral("select fk_callsign,status from fixed_data order by "
                       "fk_callsign"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0), (QStringList {"W1", "a\\b\\n"}));
    // Undoubled, MariaDB drops the backslash of "\b" and turns "\n" into a
    // line feed: exactly what the dialect warns of.
    QCOMPARE(rows.at(1).at(1) == QStringLiteral("a\\b\\n"), db.defaultDialect == SqlDialect::Standard);
}

void TestOdbcDatabases::literalRuleFollowsTheServer_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("switched");  // the database's (PostgreSQL) or server's (MariaDB) setting
    QTest::addColumn<SqlDialect>("switchedTo");
    QTest::addColumn<QString>("session");  // more keywords of the connection string
    QTest::addColumn<SqlDialect>("expected");

    const SqlDialect standard = SqlDialect::Standard;
    const SqlDialect escapes = SqlDialect::BackslashEscapes;
    const QString pgSession = QStringLiteral("ConnSettings=SET standard_conforming_strings = %1");
    const QString maSession = QStringLiteral("InitStmt=SET SESSION sql_mode = %1");
    QTest::addRow("sqlite") << "sqlite" << false << standard << QString() << standard;
    QTest::addRow("postgres: as started") << "postgres" << false << standard << QString() << standard;
    QTest::addRow("postgres: database off") << "postgres" << true << escapes << QString() << escapes;
    QTest::addRow("postgres: database on") << "postgres" << true << standard << QString() << standard;
    QTest::addRow("postgres: session off") << "postgres" << false << standard << pgSession.arg("off") << escapes;
    QTest::addRow("postgres: database off, session on")
        << "postgres" << true << escapes << pgSession.arg("on") << standard;
    QTest::addRow("mariadb: as started") << "mariadb" << false << standard << QString() << escapes;
    QTest::addRow("mariadb: server NO_BACKSLASH_ESCAPES") << "mariadb" << true << standard << QString() << standard;
    QTest::addRow("mariadb: server default") << "mariadb" << true << escapes << QString() << escapes;
    QTest::addRow("mariadb: session NO_BACKSLASH_ESCAPES")
        << "mariadb" << false << standard << maSession.arg("CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')") << standard;
    QTest::addRow("mariadb: server NO_BACKSLASH_ESCAPES, session without")
        << "mariadb" << true << standard << maSession.arg("'STRICT_TRANS_TABLES'") << escapes;
}

// The rule is what the connection's own session says, whichever level set
// it, and texts written by it arrive as sent: no backslash lost or doubled,
// no statement smuggled in.
void TestOdbcDatabases::literalRuleFollowsTheServer()
{
    QFETCH(QString, name);
    QFETCH(bool, switched);
    QFETCH(SqlDialect, switchedTo);
    QFETCH(QString, session);
    QFETCH(SqlDialect, expected);
    const TestDatabase db = database(name);

    std::optional<ScopedLiteralSetting> setting;
    if (switched)
        setting.emplace(db, switchedTo);
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString() + (session.isEmpty() ? QString() : QLatin1Char(';') + session));
    QCOMPARE(connection.dialect(), expected);

    const QStringList texts = {QStringLiteral("\\' ,' ,' ); delete from stations; --"), QStringLiteral("a\\b\\\\c\\n"),
        QStringLiteral("ends in a backslash\\")};
    connection.execute(Stations + "values ('W1','2004-05-06 14:30:00','0',0,0,0,0,0,'/\\\\','')");
    int second = 0;
    for (QString text : texts) {
        if (expected == SqlDialect::BackslashEscapes)
            text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        text.replace(QLatin1Char('\''), QStringLiteral("''"));
        connection.execute(Fixed
            + QStringLiteral("values ('W1','2004-05-06 14:30:%1','%2','','')")
                  .arg(second++, 2, 10, QLatin1Char('0'))
                  .arg(text));
    }
    connection.close();

    QList<QStringList> stored;
    for (const QString &text : texts)
        stored << QStringList {text};
    QCOMPARE(queryRows(db, QStringLiteral("select status from fixed_data order by fk_dtstamp")), stored);
    QCOMPARE(queryRows(db, QStringLiteral("select count(*) from stations")), QList<QStringList> {{"1"}});
}

void TestOdbcDatabases::literalRuleUnknown_data()
{
    QTest::addColumn<QString>("dbmsName");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("known");
    QTest::addColumn<SqlDialect>("expected");

    QTest::addRow("PostgreSQL on") << "PostgreSQL"
                                   << "on" << true << SqlDialect::Standard;
    QTest::addRow("PostgreSQL off") << "PostgreSQL"
                                    << "off" << true << SqlDialect::BackslashEscapes;
    QTest::addRow("PostgreSQL NULL") << "PostgreSQL"
                                     << "<NULL>" << false << SqlDialect::Standard;
    QTest::addRow("PostgreSQL empty") << "PostgreSQL"
                                      << "" << false << SqlDialect::Standard;
    QTest::addRow("PostgreSQL other") << "PostgreSQL"
                                      << "maybe" << false << SqlDialect::Standard;
    QTest::addRow("MariaDB no modes") << "MariaDB"
                                      << "" << true << SqlDialect::BackslashEscapes;
    QTest::addRow("MySQL ANSI without it")
        << "MySQL"
        << "REAL_AS_FLOAT,PIPES_AS_CONCAT,ANSI_QUOTES,IGNORE_SPACE,ANSI" << true << SqlDialect::BackslashEscapes;
    QTest::addRow("MariaDB with it") << "MariaDB"
                                     << "STRICT_TRANS_TABLES,NO_BACKSLASH_ESCAPES" << true << SqlDialect::Standard;
    QTest::addRow("MariaDB a longer name is not it")
        << "MariaDB"
        << "NO_BACKSLASH_ESCAPES_X" << true << SqlDialect::BackslashEscapes;
    QTest::addRow("MariaDB NULL") << "MariaDB"
                                  << "<NULL>" << false << SqlDialect::Standard;
    QTest::addRow("SQLite needs no setting") << "SQLite"
                                             << "" << true << SqlDialect::Standard;
    QTest::addRow("another DBMS is standard") << "Microsoft SQL Server"
                                              << "" << true << SqlDialect::Standard;
}

// A server of a family whose rule is a setting and that does not tell it
// fails the logon, with a diagnostic that says so.
void TestOdbcDatabases::literalRuleUnknown()
{
    QFETCH(QString, dbmsName);
    QFETCH(QString, value);
    QFETCH(bool, known);
    QFETCH(SqlDialect, expected);

    const LiteralRule::Family family = LiteralRule::family(dbmsName);
    if (known) {
        QCOMPARE(LiteralRule::fromSetting(family, value), expected);
        return;
    }
    try {
        LiteralRule::fromSetting(family, value);
        QFAIL("a rule was guessed");
    } catch (const OdbcError &error) {
        QCOMPARE(error.sqlState(), QStringLiteral("HY000"));
        QCOMPARE(error.statusNumber(), 6100);
        QVERIFY2(error.describe().contains(QLatin1String("did not tell how it reads a backslash")),
            qPrintable(error.describe()));
    }
}

void TestOdbcDatabases::serverStoppedMidRun_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("postgres") << "postgres";
    QTest::addRow("mariadb") << "mariadb";
}

void TestOdbcDatabases::serverStoppedMidRun()
{
    QFETCH(QString, name);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    connection.execute(Fixed + "values ('W1','2004-05-06 14:30:00','before','','')");

    stopServer(db);
    QString failure;
    int statusNumber = 0;
    try {
        connection.execute(Fixed + "values ('W1','2004-05-06 14:30:01','during','','')");
    } catch (const OdbcError &error) {
        failure = error.describe();
        statusNumber = error.statusNumber();
    }
    // A new connection is refused while the server is away.
    QString refusal;
    try {
        OdbcConnection second(QStringLiteral("Connection2"));
        second.open(db.connectionString());
    } catch (const OdbcError &error) {
        refusal = error.describe();
    }
    startServer(db);

    QVERIFY2(!failure.isEmpty(), "a statement succeeded on a stopped server");
    QVERIFY(statusNumber != 0);
    QVERIFY2(!refusal.isEmpty(), "connected to a stopped server");
    QVERIFY2(
        refusal.startsWith(QLatin1String("08")) || refusal.startsWith(QLatin1String("HY000")), qPrintable(refusal));

    // The old connection stays broken; the destructor must not throw on it.
    QVERIFY_THROWS_EXCEPTION(OdbcError, connection.execute(Fixed + "values ('W1','2004-05-06 14:30:02','','','')"));
    QCOMPARE(queryRows(db, QStringLiteral("select status from fixed_data")), QList<QStringList> {{"before"}});
}

namespace {

// A process stopped (SIGSTOP) for the lifetime of this object, at most
// maxSeconds, so that a failing or hanging test still lets it go on.
class PausedProcess
{
public:
    PausedProcess(qint64 pid, int maxSeconds) : mPid(pid)
    {
        ::kill(pid_t(mPid), SIGSTOP);
        mResumer = std::thread([this, maxSeconds] {
            std::unique_lock lock(mMutex);
            mDone.wait_for(lock, std::chrono::seconds(maxSeconds), [this] { return mEnded; });
            ::kill(pid_t(mPid), SIGCONT);
        });
    }
    ~PausedProcess()
    {
        {
            std::lock_guard lock(mMutex);
            mEnded = true;
        }
        mDone.notify_one();
        mResumer.join();
    }
    PausedProcess(const PausedProcess &) = delete;
    PausedProcess &operator=(const PausedProcess &) = delete;

private:
    qint64 mPid;
    std::mutex mMutex;
    std::condition_variable mDone;
    bool mEnded = false;
    std::thread mResumer;
};

}  // namespace

void TestOdbcDatabases::pausedServerCountsAsLost_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("postgres") << "postgres";
    QTest::addRow("mariadb") << "mariadb";
}

// A server that is there but answers nothing (stopped, frozen, cut off): its
// kernel still acknowledges every packet and the query timeout lives on the
// server, so only the stall watchdog ends the statement. It fails as a
// failure that may pass, and the program goes on.
void TestOdbcDatabases::pausedServerCountsAsLost()
{
    QFETCH(QString, name);
    const TestDatabase db = database(name);

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    connection.execute(Fixed + "values ('W1','2004-05-06 14:30:00','before','','')");
    // PostgreSQL: the session's own backend; MariaDB: the whole server.
    const qint64 pid = name == QLatin1String("postgres")
        ? connection.queryRows(QStringLiteral("select pg_backend_pid()"), QString()).value(0).value(0).toLongLong()
        : mariadbServerProcess();
    QVERIFY(pid > 0);

    std::optional<FailureKind> kind;
    QString failure;
    QElapsedTimer waited;
    {
        // Without the watchdog the statement waits for the server to go on.
        const PausedProcess paused(pid, 3 * OdbcConnection::StallLimitSeconds);
        waited.start();
        try {
            connection.execute(Fixed + "values ('W1','2004-05-06 14:30:01','during','','')");
        } catch (const OdbcError &error) {
            kind = failureKind(error, connection.dbmsName());
            failure = error.describe();
        }
    }
    const qint64 waitedMs = waited.elapsed();
    QVERIFY2(kind.has_value(), "a statement went through on a paused server");
    qInfo("%s gave up after %lld ms: %s", qPrintable(name), waitedMs, qPrintable(failure));
    QVERIFY2(mayPass(*kind), qPrintable(failure));
    QVERIFY(waitedMs < (OdbcConnection::StallLimitSeconds + 5) * 1000);

    // The server answers again: a new connection writes.
    OdbcConnection second(QStringLiteral("Connection2"));
    second.open(db.connectionString());
    second.execute(Fixed + "values ('W1','2004-05-06 14:30:02','after','','')");
    QCOMPARE(queryRows(db, QStringLiteral("select count(*) from fixed_data where status = 'after'")),
        QList<QStringList> {{"1"}});
}

// The schema facts above hold for MariaDB's default strict mode, in which a
// value that does not fit is an error instead of a warning.
void TestOdbcDatabases::mariadbIsStrict()
{
    const TestDatabase db = database(QStringLiteral("mariadb"));
    KELDAN_REQUIRE_DATABASE(db);
    const QList<QStringList> rows = queryRows(db, QStringLiteral("select @@sql_mode"));
    QCOMPARE(rows.size(), 1);
    QVERIFY2(rows.first().first().contains(QLatin1String("STRICT_TRANS_TABLES")), qPrintable(rows.first().first()));
}

void TestOdbcDatabases::lockedTableTimesOut_data()
{
    addDatabaseRows();
}

// Another session holds a write lock on stations: the insert gives up after
// the query timeout with an error of its own kind, and the connection stays
// usable once the lock is gone.
void TestOdbcDatabases::lockedTableTimesOut()
{
    QFETCH(QString, name);
    const TestDatabase db = database(name);
    OdbcConnection holder(QStringLiteral("holder"));
    holder.open(db.connectionString());
    if (name == QLatin1String("mariadb")) {
        holder.execute(QStringLiteral("lock tables stations write"));
    } else if (name == QLatin1String("postgres")) {
        holder.execute(QStringLiteral("begin"));
        holder.execute(QStringLiteral("lock table stations in access exclusive mode"));
    } else {
        holder.execute(QStringLiteral("begin exclusive"));
    }

    OdbcConnection writer(QStringLiteral("Connection1"));
    writer.open(db.connectionString());
    const QString insert = Stations + QStringLiteral("values ('N0CALL','2004-05-06 14:30:00',0,0,0,0,0,0,'/-','')");
    QElapsedTimer waited;
    waited.start();
    try {
        writer.execute(insert);
        QFAIL("the insert went through a held lock");
    } catch (const OdbcError &error) {
        QCOMPARE(failureKind(error, writer.dbmsName()), FailureKind::Locked);
        qInfo("%s gave up after %lld ms: %s", qPrintable(name), waited.elapsed(), qPrintable(error.describe()));
    }
    // Far below the minutes a lock can be held; generous for a busy machine.
    QVERIFY(waited.elapsed() < 4 * OdbcConnection::QueryTimeoutSeconds * 1000);

    holder.execute(name == QLatin1String("mariadb") ? QStringLiteral("unlock tables") : QStringLiteral("commit"));
    writer.execute(insert);
    QCOMPARE(queryRows(db, QStringLiteral("select count(*) from stations")).value(0).value(0), QStringLiteral("1"));
}

namespace {

// A server setting for the lifetime of this object.
struct AdministratorSetting {
    const TestDatabase &db;
    QString reset;
    AdministratorSetting(const TestDatabase &database, const QString &set, QString undo)
        : db(database), reset(std::move(undo))
    {
        runAsAdministrator(db, set);
    }
    ~AdministratorSetting()
    {
        try {
            runAsAdministrator(db, reset);
        } catch (const std::exception &e) {
            qWarning("%s", e.what());
        }
    }
};

class QuietView : public DatabaseLink::View
{
public:
    void setStatus(const QString &, const QString &) override { }
    void setLinkConnected(bool) override { }
};

}  // namespace

void TestOdbcDatabases::failureKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("provoke");
    QTest::addColumn<FailureKind>("expected");

    QTest::addRow("sqlite: no such table") << "sqlite"
                                           << "no such table" << FailureKind::Never;
    QTest::addRow("sqlite: missing database file") << "sqlite"
                                                   << "no server" << FailureKind::Never;
    QTest::addRow("postgres: locked") << "postgres"
                                      << "locked" << FailureKind::Locked;
    QTest::addRow("postgres: read-only") << "postgres"
                                         << "read-only" << FailureKind::ReadOnly;
    QTest::addRow("postgres: statement timeout") << "postgres"
                                                 << "timeout" << FailureKind::Timeout;
    QTest::addRow("postgres: terminated") << "postgres"
                                          << "killed" << FailureKind::ServerUnavailable;
    QTest::addRow("postgres: wrong password") << "postgres"
                                              << "wrong password" << FailureKind::LogonRefused;
    QTest::addRow("postgres: no server") << "postgres"
                                         << "no server" << FailureKind::ConnectionLost;
    QTest::addRow("postgres: no such table") << "postgres"
                                             << "no such table" << FailureKind::Never;
    QTest::addRow("mariadb: locked") << "mariadb"
                                     << "locked" << FailureKind::Locked;
    QTest::addRow("mariadb: read-only") << "mariadb"
                                        << "read-only" << FailureKind::ReadOnly;
    QTest::addRow("mariadb: killed") << "mariadb"
                                     << "killed" << FailureKind::ConnectionLost;
    QTest::addRow("mariadb: wrong password") << "mariadb"
                                             << "wrong password" << FailureKind::LogonRefused;
    QTest::addRow("mariadb: no server") << "mariadb"
                                        << "no server" << FailureKind::ConnectionLost;
    QTest::addRow("mariadb: no such table") << "mariadb"
                                            << "no such table" << FailureKind::Never;
}

// The drivers' own diagnostics for each failure, read as the healing link
// reads them.
void TestOdbcDatabases::failureKinds()
{
    QFETCH(QString, name);
    QFETCH(QString, provoke);
    QFETCH(FailureKind, expected);
    const TestDatabase db = database(name);
    const bool postgres = name == QLatin1String("postgres");
    const QString insert = Stations + QStringLiteral("values ('N0CALL','2004-05-06 14:30:00',0,0,0,0,0,0,'/-','')");

    std::optional<OdbcError> failure;
    auto attempt = [&](const std::function<void()> &call) {
        try {
            call();
        } catch (const OdbcError &e) {
            failure = e;
        }
    };
    OdbcConnection writer(QStringLiteral("Connection1"));
    QString dbms;
    if (provoke == QLatin1String("wrong password") || provoke == QLatin1String("no server")) {
        QString connection = db.connectionString();
        if (provoke == QLatin1String("wrong password"))
            connection.replace(QStringLiteral("PWD=keldan"), QStringLiteral("PWD=wrong"));
        else if (db.needsServer())
            connection += postgres ? QStringLiteral(";Port=1") : QStringLiteral(";PORT=1");
        else
            connection.replace(mSqliteFile, mDir.filePath(QStringLiteral("mistyped.db")));
        attempt([&] { writer.open(connection); });
        QVERIFY(!QFile::exists(mDir.filePath(QStringLiteral("mistyped.db"))));
    } else if (provoke == QLatin1String("read-only")) {
        AdministratorSetting readOnly(db,
            postgres ? QStringLiteral("ALTER DATABASE keldan SET default_transaction_read_only = on")
                     : QStringLiteral("SET GLOBAL read_only = 1"),
            postgres
                ? QStringLiteral("BEGIN READ WRITE; ALTER DATABASE keldan RESET default_transaction_read_only; COMMIT")
                : QStringLiteral("SET GLOBAL read_only = 0"));
        writer.open(db.connectionString());
        attempt([&] { writer.execute(insert); });
    } else {
        writer.open(db.connectionString());
        OdbcConnection holder(QStringLiteral("holder"));
        if (provoke == QLatin1String("locked")) {
            holder.open(db.connectionString());
            holder.execute(postgres ? QStringLiteral("begin") : QStringLiteral("lock tables stations write"));
            if (postgres)
                holder.execute(QStringLiteral("lock table stations in access exclusive mode"));
            attempt([&] { writer.execute(insert); });
            holder.execute(postgres ? QStringLiteral("commit") : QStringLiteral("unlock tables"));
        } else if (provoke == QLatin1String("timeout")) {
            attempt([&] {
                writer.execute(QStringLiteral("select pg_sleep(%1)").arg(2 * OdbcConnection::QueryTimeoutSeconds));
            });
        } else if (provoke == QLatin1String("killed")) {
            const QString session = writer
                                        .queryRows(postgres ? QStringLiteral("select pg_backend_pid()")
                                                            : QStringLiteral("select connection_id()"),
                                            QString())
                                        .value(0)
                                        .value(0);
            runAsAdministrator(db,
                postgres ? QStringLiteral("select pg_terminate_backend(%1)").arg(session)
                         : QStringLiteral("kill %1").arg(session));
            attempt([&] { writer.execute(insert); });
        } else {
            attempt([&] { writer.execute(QStringLiteral("insert into no_such_table values (1)")); });
        }
        dbms = writer.dbmsName();
    }
    QVERIFY2(failure.has_value(), "nothing failed");
    qInfo("%s: %s", QTest::currentDataTag(), qPrintable(failure->describe()));
    QCOMPARE(failureKind(*failure, dbms), expected);
}

void TestOdbcDatabases::logonNeedsTheTables_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("schema");
    QTest::addRow("sqlite") << "sqlite"
                            << "db/schema/sqlite.sql";
    QTest::addRow("postgres") << "postgres"
                              << "db/schema/postgresql.sql";
    QTest::addRow("mariadb") << "mariadb"
                             << "db/schema/mariadb.sql";
}

// A database without the bridge's tables (an empty SQLite file, a schema
// never run) fails the logon, naming what is missing and the script.
void TestOdbcDatabases::logonNeedsTheTables()
{
    QFETCH(QString, name);
    QFETCH(QString, schema);
    const TestDatabase db = database(name);
    OdbcConnection admin(QStringLiteral("admin"));
    admin.open(db.connectionString());
    admin.execute(QStringLiteral("drop view if exists wx_beacons"));
    admin.execute(QStringLiteral("drop table wx_data"));
    admin.close();

    DatabaseLink link;
    QuietView view;
    try {
        link.logon(db.dsn, db.user, db.password, db.database, view);
        QFAIL("logged on to a database without wx_data");
    } catch (const OdbcError &e) {
        QVERIFY2(e.describe().startsWith(
                     QStringLiteral("42S02 [0] The database has no table wx_data: run %1 on it").arg(schema)),
            qPrintable(e.describe()));
        QCOMPARE(e.statusNumber(), 6042);
    }
    QVERIFY(!link.connected());
}

void TestOdbcDatabases::sessionSpeaksUtf8_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sessionSetting");
    QTest::addRow("postgres: client_encoding SJIS")
        << "postgres" << QStringLiteral(";ConnSettings=set client_encoding to 'SJIS'");
    QTest::addRow("mariadb: set names gbk") << "mariadb" << QStringLiteral(";InitStmt=SET NAMES gbk");
}

// A session started in another character set reads the driver's UTF-8
// differently; in gbk the first byte pair of this status swallows the
// backslash that escapes its apostrophe, and the rest ran as SQL. The open
// puts the session back to UTF-8.
void TestOdbcDatabases::sessionSpeaksUtf8()
{
    QFETCH(QString, name);
    QFETCH(QString, sessionSetting);
    const TestDatabase db = database(name);
    const QString status = QStringLiteral("\u4e01\\',(select user()),0x70)#\u00e9");

    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString() + sessionSetting);
    const QString statement = Fixed
        + QStringLiteral("values ('W1','2004-05-06 14:30:00','%1','','')")
              .arg(literalText(status, connection.dialect()));
    try {
        connection.execute(statement);
    } catch (const OdbcError &e) {
        QFAIL(qPrintable(e.describe()));
    }
    QCOMPARE(queryRows(db, QStringLiteral("select status from fixed_data")), QList<QStringList> {{status}});
}

void TestOdbcDatabases::sameBeaconQueryFindsTheRow_data()
{
    addDatabaseRows();
}

// After a connection lost while an insert ran, the healing link looks for
// its row by callsign and time before writing it again; the callsign's
// escapes are read as the server's dialect writes them.
void TestOdbcDatabases::sameBeaconQueryFindsTheRow()
{
    QFETCH(QString, name);
    const TestDatabase db = database(name);
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());
    const QString call = literalText(QStringLiteral("O'B\\R-1"), connection.dialect());
    const QString stored =
        Stations + QStringLiteral("values ('%1','2004-05-06 14:30:00',0,0,0,0,0,0,'/-','')").arg(call);
    connection.execute(stored);
    QString later = stored;
    later.replace(QStringLiteral("14:30:00"), QStringLiteral("14:30:01"));
    for (const QString &statement : {stored, later}) {
        const QString query = StationStatements::sameBeaconQuery(statement, connection.dialect());
        QVERIFY(!query.isEmpty());
        QCOMPARE(connection.queryRows(query, QString()).size(), statement == stored ? 1 : 0);
    }
}

QTEST_GUILESS_MAIN(TestOdbcDatabases)
#include "tst_odbcdatabases.moc"

// The beacon road into SQLite, PostgreSQL and MariaDB through their ODBC
// drivers and the bridge's own database link, every value read back.

#include "TestDatabases.h"
#include "db/DatabaseLink.h"
#include "db/OdbcError.h"
#include "host/BeaconQueue.h"
#include "linuxhost/LinuxHost.h"
#include "recording/BeaconRecorder.h"
#include "recording/LinkHealer.h"
#include "support/LogCapture.h"
#include "support/SampleReadings.h"
#include "support/ScriptedBeaconRecord.h"
#include "support/ScriptedHost.h"
#include "support/WidgetRecorderView.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <limits>
#include <optional>

namespace {

const QString StationsMessage = QStringLiteral("Stations Table (Error Inserting Data into database)");
const QString FixedMessage = QStringLiteral("Fixed Table (Error Inserting Data into database)");
const QString MobileMessage = QStringLiteral("Mobile Table (Error Inserting Data into database)");
const QString WxMessage = QStringLiteral("WX Table (Error Inserting Data into database)");

const QStringList NumericColumns = {QStringLiteral("type"), QStringLiteral("distance"), QStringLiteral("lat"),
    QStringLiteral("lon"), QStringLiteral("heard_direct"), QStringLiteral("radio_port"), QStringLiteral("height"),
    QStringLiteral("speed"), QStringLiteral("course"), QStringLiteral("pressure"), QStringLiteral("dewpoint"),
    QStringLiteral("humidity"), QStringLiteral("rain_24hours"), QStringLiteral("rain_last_hour"),
    QStringLiteral("rain_today"), QStringLiteral("temp"), QStringLiteral("wind_chill"),
    QStringLiteral("wind_direction"), QStringLiteral("wind_gust"), QStringLiteral("wind_speed")};

// The shared sample beacons, with a negative latitude for the weather station
// and a radio path for the fixed one, at a time of the test's choosing.
std::shared_ptr<ScriptedBeaconRecord> beaconOfKind(qint16 kind, int secondsLater = 0)
{
    auto beacon = sampleBeacon(kind);
    ScriptedBeaconRecord::Fields &f = beacon->fields;
    f.timeA = SampleStamp.addSecs(secondsLater);
    f.timeB = f.timeA.addSecs(-5);
    if (kind == StationType::Weather)
        f.latitude = -2000.5f;
    else if (kind != StationType::Mobile)
        f.packetHeader = QStringLiteral("N0CALL>APRS,RELAY,WIDE 12:00");
    return beacon;
}

// The literal settings each server is tried with: as the fixture starts it,
// and switched to the other rule (PostgreSQL's standard_conforming_strings
// off for the database, NO_BACKSLASH_ESCAPES in MariaDB's global sql_mode)
// before the logon, so that the bridge must learn it there.
struct LiteralSetting {
    const char *database;
    const char *setting;
    bool switched;
};
const LiteralSetting LiteralSettings[] = {{"sqlite", "", false}, {"postgres", "", false},
    {"postgres", " with standard_conforming_strings off", true}, {"mariadb", "", false},
    {"mariadb", " with NO_BACKSLASH_ESCAPES", true}};

// Brings a stopped server back for the other tests, whatever the test does next.
struct ServerRestart {
    const TestDatabase &db;
    bool done = false;
    ~ServerRestart()
    {
        if (!done)
            startServer(db);
    }
};

}  // namespace

class TestRecordingDatabases : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void oneBeaconOfEachKind_data();
    void oneBeaconOfEachKind();

    void valuesArriveAsSent_data();
    void valuesArriveAsSent();

    void nulInAStatusPoisonsNothing_data();
    void nulInAStatusPoisonsNothing();

    void notANumber_data();
    void notANumber();

    void connectionNotOpen_data();
    void connectionNotOpen();

    void serverStoppedMidRun_data();
    void serverStoppedMidRun();
    void outageLosesNothingTheQueueHolds_data();
    void outageLosesNothingTheQueueHolds();
    void otherFailuresAreNotKept();

private:
    void addDatabaseRows(const char *what);
    // Recreates the tables of the named database and logs on to it.
    void useDatabase(const QString &name, bool switched = false);
    // The server's literal setting switched to the other rule until cleanup().
    void switchLiteralSetting(bool switched);
    void logon();
    int rowCount(const QString &table) const;
    // Column by column: numbers by value, everything else as exact text.
    void compareRow(const QString &table, const QStringList &columns, const QStringList &expected) const;

    std::unique_ptr<QTemporaryDir> mDir;
    TestDatabase mDb;
    std::unique_ptr<WidgetRecorderView> mView;
    std::unique_ptr<ScriptedHost> mHost;
    std::unique_ptr<DatabaseLink> mLink;
    std::unique_ptr<BeaconRecorder> mRecorder;
    std::optional<ScopedLiteralSetting> mSetting;
};

void TestRecordingDatabases::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mView = std::make_unique<WidgetRecorderView>();
    mHost = std::make_unique<ScriptedHost>();
    mHost->weather.insert(QStringLiteral("WX1ABC"), std::make_shared<WeatherReadings>(sampleWeatherReadings()));
    mLink = std::make_unique<DatabaseLink>();
    mRecorder = std::make_unique<BeaconRecorder>(*mView, *mLink);
    mRecorder->attachHost(mHost.get());
    mRecorder->weatherRecord() = std::make_shared<WeatherReadings>();
}

void TestRecordingDatabases::cleanup()
{
    mRecorder.reset();
    mLink.reset();
    mSetting.reset();
    mHost.reset();
    mView.reset();
    mDir.reset();
}

void TestRecordingDatabases::addDatabaseRows(const char *what)
{
    for (const char *name : {"sqlite", "postgres", "mariadb"})
        QTest::addRow("%s, %s", name, what) << QString::fromLatin1(name);
}

void TestRecordingDatabases::useDatabase(const QString &name, bool switched)
{
    mDb = testDatabase(name, mDir->filePath(QStringLiteral("keldan.db")));
    KELDAN_REQUIRE_DATABASE(mDb);
    recreateTables(mDb);
    switchLiteralSetting(switched);
    logon();
    const SqlDialect expected =
        (mDb.defaultDialect == SqlDialect::Standard) == !switched ? SqlDialect::Standard : SqlDialect::BackslashEscapes;
    QCOMPARE(mLink->dialect(), expected);
}

void TestRecordingDatabases::logon()
{
    try {
        mLink->logon(mDb.dsn, mDb.user, mDb.password, mDb.database, *mView);
    } catch (const OdbcError &e) {
        QFAIL(qPrintable(e.describe()));
    }
    QVERIFY(mLink->connected());
    QVERIFY(mView->linkConnected);
    QCOMPARE(mView->status(), QStringLiteral("Connected: %1@%2").arg(mDb.user, mDb.dsn));
}

int TestRecordingDatabases::rowCount(const QString &table) const
{
    return queryRows(mDb, QStringLiteral("select count(*) from %1").arg(table)).value(0).value(0).toInt();
}

void TestRecordingDatabases::compareRow(
    const QString &table, const QStringList &columns, const QStringList &expected) const
{
    const QList<QStringList> rows =
        queryRows(mDb, QStringLiteral("select %1 from %2").arg(columns.join(QLatin1Char(',')), table));
    QCOMPARE(rows.size(), 1);
    const QStringList &row = rows.first();
    QCOMPARE(row.size(), columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        const QByteArray where = (table + QLatin1Char('.') + columns.at(i)).toUtf8();
        if (NumericColumns.contains(columns.at(i))) {
            bool ok = false;
            const double value = row.at(i).toDouble(&ok);
            QVERIFY2(ok, where.constData());
            QVERIFY2(value == expected.at(i).toDouble(), qPrintable(where + " = " + row.at(i)));
        } else {
            QVERIFY2(row.at(i) == expected.at(i), qPrintable(where + " = " + row.at(i)));
        }
    }
}

void TestRecordingDatabases::oneBeaconOfEachKind_data()
{
    QTest::addColumn<QString>("database");
    addDatabaseRows("a fixed, a mobile and a weather beacon");
}

void TestRecordingDatabases::oneBeaconOfEachKind()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;

    mRecorder->processBeacon(beaconOfKind(StationType::Fixed, 0));
    mRecorder->processBeacon(beaconOfKind(StationType::Mobile, 1));
    mRecorder->processBeacon(beaconOfKind(StationType::Weather, 2));

    QCOMPARE(mView->status(), QString());
    QCOMPARE(rowCount(QStringLiteral("stations")), 3);
    const QStringList stationColumns = {QStringLiteral("callsign"), QStringLiteral("dtstamp"), QStringLiteral("type"),
        QStringLiteral("distance"), QStringLiteral("lat"), QStringLiteral("lon"), QStringLiteral("heard_direct"),
        QStringLiteral("radio_port"), QStringLiteral("symbol"), QStringLiteral("object_owner")};
    const auto stationRow = [&](const QString &callsign) {
        return queryRows(mDb,
            QStringLiteral("select %1 from stations where callsign = '%2'")
                .arg(stationColumns.join(QLatin1Char(',')), callsign));
    };
    const QList<QStringList> expectedStations = {
        {QStringLiteral("N0CALL"), QStringLiteral("2004-05-06 14:30:00"), QStringLiteral("0"), QStringLiteral("0.1"),
            QStringLiteral("3090.12"), QStringLiteral("-7.5"), QStringLiteral("1"), QStringLiteral("1"),
            QStringLiteral("\\k"), QStringLiteral("N0CALL-2")},
        {QStringLiteral("N0CALL-9"), QStringLiteral("2004-05-06 14:30:01"), QStringLiteral("2"), QStringLiteral("12.5"),
            QStringLiteral("3090.25"), QStringLiteral("-7.5"), QStringLiteral("1"), QStringLiteral("1"),
            QStringLiteral("/>"), QString()},
        {QStringLiteral("WX1ABC"), QStringLiteral("2004-05-06 14:30:02"), QStringLiteral("1"), QStringLiteral("3.25"),
            QStringLiteral("-2000.5"), QStringLiteral("10.75"), QStringLiteral("0"), QStringLiteral("0"),
            QStringLiteral("/_"), QString()}};
    for (const QStringList &expected : expectedStations) {
        const QList<QStringList> found = stationRow(expected.first());
        QCOMPARE(found.size(), 1);
        for (int i = 0; i < stationColumns.size(); ++i) {
            const QByteArray where = (expected.first() + QLatin1Char(' ') + stationColumns.at(i)).toUtf8();
            if (NumericColumns.contains(stationColumns.at(i)))
                QVERIFY2(found.first().at(i).toDouble() == expected.at(i).toDouble(),
                    qPrintable(where + " = " + found.first().at(i)));
            else
                QVERIFY2(found.first().at(i) == expected.at(i), qPrintable(where + " = " + found.first().at(i)));
        }
    }

    compareRow(QStringLiteral("fixed_data"),
        {QStringLiteral("fk_callsign"), QStringLiteral("fk_dtstamp"), QStringLiteral("status"),
            QStringLiteral("comment"), QStringLiteral("path")},
        {QStringLiteral("N0CALL"), QStringLiteral("2004-05-06 14:30:00"), QStringLiteral("On the air"),
            QStringLiteral("PHG2360 its 5C"), QStringLiteral("APRS,RELAY,WIDE")});
    compareRow(QStringLiteral("mobile_data"),
        {QStringLiteral("fk_callsign"), QStringLiteral("fk_dtstamp"), QStringLiteral("height"), QStringLiteral("speed"),
            QStringLiteral("path"), QStringLiteral("course")},
        {QStringLiteral("N0CALL-9"), QStringLiteral("2004-05-06 14:30:01"), QStringLiteral("0"), QStringLiteral("12.5"),
            QStringLiteral("APRS,WIDE1-1,WIDE2-1"), QStringLiteral("270")});
    compareRow(QStringLiteral("wx_data"),
        {QStringLiteral("fk_callsign"), QStringLiteral("fk_dtstamp"), QStringLiteral("pressure"),
            QStringLiteral("dewpoint"), QStringLiteral("humidity"), QStringLiteral("rain_24hours"),
            QStringLiteral("rain_last_hour"), QStringLiteral("rain_today"), QStringLiteral("temp"),
            QStringLiteral("wind_chill"), QStringLiteral("wind_direction"), QStringLiteral("wind_gust"),
            QStringLiteral("wind_speed")},
        {QStringLiteral("WX1ABC"), QStringLiteral("2004-05-06 14:30:02"), QStringLiteral("1013.2"),
            QStringLiteral("-6"), QStringLiteral("55"), QStringLiteral("12.5"), QStringLiteral("0.25"),
            QStringLiteral("3"), QStringLiteral("-3.5"), QStringLiteral("-9.75"), QStringLiteral("270"),
            QStringLiteral("14"), QStringLiteral("8.5")});
}

void TestRecordingDatabases::switchLiteralSetting(bool switched)
{
    if (!switched)
        return;
    const SqlDialect other =
        mDb.defaultDialect == SqlDialect::Standard ? SqlDialect::BackslashEscapes : SqlDialect::Standard;
    mSetting.emplace(mDb, other);
}

void TestRecordingDatabases::valuesArriveAsSent_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("switched");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("expected");

    struct Case {
        QByteArray name;
        const char *field;
        QString value;
        const char *select;
        QString expected;
    };
    const QString longComment =
        QString(QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn")).repeated(5);
    QList<Case> cases = {
        {"apostrophe in the callsign", "callsign", QStringLiteral("O'BR-1"),
            "select s.callsign, f.fk_callsign from stations s, fixed_data f", QStringLiteral("O'BR-1|O'BR-1")},
        {"statement injection in the status", "statusText", QStringLiteral("'); drop table stations; --"),
            "select status from fixed_data", QStringLiteral("'); drop table stations; --")},
        {"backslash before the injection", "statusText", QStringLiteral("\\'); drop table stations; -- "),
            "select status from fixed_data", QStringLiteral("\\'); drop table stations; -- ")},
        {"backslashes all through the callsign", "callsign", QStringLiteral("\\N0\\\\CALL\\"),
            "select s.callsign, f.fk_callsign from stations s, fixed_data f",
            QStringLiteral("\\N0\\\\CALL\\|\\N0\\\\CALL\\")},
        {"comment loses apostrophes, keeps backslashes", "packetText", QStringLiteral("it's \\'5'C\\"),
            "select comment from fixed_data", QStringLiteral("its \\5C\\")},
        {"apostrophe and backslash in the path", "packetHeader", QStringLiteral("N0CALL>AP'RS\\,WIDE\\ 12"),
            "select path from fixed_data", QStringLiteral("AP'RS\\,WIDE\\")},
        {"apostrophe and backslash in the owner", "objectOwner", QStringLiteral("  O'W\\N  "),
            "select object_owner from stations", QStringLiteral("O'W\\N")},
        {"empty owner", "objectOwner", QString(), "select object_owner from stations", QString()},
        {"backslash symbol table", "symbolTable", QStringLiteral("\\"), "select symbol from stations",
            QStringLiteral("\\k")},
        // The DF station's symbol: two characters sent, two stored.
        {"DF station symbol", "symbol", QStringLiteral("/\\"), "select symbol from stations", QStringLiteral("/\\")},
        {"backslash symbol code", "symbolCode", QStringLiteral("\\"), "select symbol from stations",
            QStringLiteral("\\\\")},
        {"apostrophe symbol code", "symbolCode", QStringLiteral("'"), "select symbol from stations",
            QStringLiteral("\\'")},
        {"<PATH> in a status", "statusText", QStringLiteral("<PATH>"), "select status, path from fixed_data",
            QStringLiteral("<PATH>|APRS,WIDE2-1")},
        {"every placeholder in a status", "statusText", QStringLiteral("<CALL><DTSTAMP><STATUS><COMMENT><PATH>"),
            "select status from fixed_data", QStringLiteral("<CALL><DTSTAMP><STATUS><COMMENT><PATH>")},
        {"a Latin-1 byte decoded as Latin-1", "statusText", QString::fromLatin1("caf\xe9 \xb0 \xc6"),
            "select status from fixed_data", QStringLiteral("café ° Æ")},
        {"multi-byte text", "statusText", QStringLiteral("20°C Ærø ✓"), "select status from fixed_data",
            QStringLiteral("20°C Ærø ✓")},
        {"beyond the basic plane", "packetText", QStringLiteral("📡 73 🙂"), "select comment from fixed_data",
            QStringLiteral("📡 73 🙂")},
        {"multi-byte callsign", "callsign", QStringLiteral("ÆRØ-1"),
            "select s.callsign, f.fk_callsign from stations s, fixed_data f", QStringLiteral("ÆRØ-1|ÆRØ-1")},
        {"250-byte comment", "packetText", longComment, "select comment from fixed_data", longComment},
        {"ODBC escapes and parameter markers", "statusText", QStringLiteral("{fn user()} ? {d '2004-01-01'} ?"),
            "select status from fixed_data", QStringLiteral("{fn user()} ? {d '2004-01-01'} ?")},
        {"double quotes, semicolons, comment marks", "statusText", QStringLiteral("\"x\"; /* y */ -- z # w"),
            "select status from fixed_data", QStringLiteral("\"x\"; /* y */ -- z # w")},
        {"percent and underscore", "statusText", QStringLiteral("100% _x_ %s"), "select status from fixed_data",
            QStringLiteral("100% _x_ %s")},
    };
    // Texts that end a literal early where the backslash rule is wrong, in
    // every quoted column. The callsign column is short, so it gets the short
    // one. The comment has its apostrophes taken out before it is quoted.
    const QString injection = QStringLiteral("\\' ,' ,' ); delete from stations; --");
    const QString shortInjection = QStringLiteral("\\');delete from stations;--");
    const QString escapes = QStringLiteral("a\\b\\\\c\\n");
    const QString endsInBackslash = QStringLiteral("ends in \\");
    const QString withoutApostrophes = QString(injection).remove(QLatin1Char('\''));
    const struct {
        const char *field;
        const char *select;
        bool shortColumn;
    } columns[] = {{"statusText", "select status from fixed_data", false},
        {"packetText", "select comment from fixed_data", false}, {"path", "select path from fixed_data", false},
        {"callsign", "select callsign from stations", true},
        {"objectOwner", "select object_owner from stations", false},
        {"symbolCode", "select symbol from stations", false}};
    for (const auto &column : columns) {
        const bool comment = QByteArray(column.field) == "packetText";
        const bool symbol = QByteArray(column.field) == "symbolCode";
        // The sample's symbol table, "\", comes before the code.
        const QString before = symbol ? QStringLiteral("\\") : QString();
        const QString inject = column.shortColumn ? shortInjection : injection;
        cases.append({QByteArray("injection in ") + column.field, column.field, inject, column.select,
            before + (comment ? withoutApostrophes : inject)});
        cases.append({QByteArray("escape sequences in ") + column.field, column.field, escapes, column.select,
            before + escapes});
        cases.append({QByteArray("backslash at the end of ") + column.field, column.field, endsInBackslash,
            column.select, before + endsInBackslash});
    }
    for (const LiteralSetting &server : LiteralSettings) {
        for (const Case &c : std::as_const(cases)) {
            QTest::addRow("%s%s, %s", server.database, server.setting, c.name.constData())
                << QString::fromLatin1(server.database) << server.switched << QString::fromLatin1(c.field) << c.value
                << QString::fromLatin1(c.select) << c.expected;
        }
    }
}

void TestRecordingDatabases::valuesArriveAsSent()
{
    QFETCH(QString, database);
    QFETCH(bool, switched);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, select);
    QFETCH(QString, expected);
    useDatabase(database, switched);
    if (QTest::currentTestFailed())
        return;

    auto beacon = beaconOfKind(StationType::Fixed);
    beacon->fields.packetHeader = QStringLiteral("N0CALL>APRS,WIDE2-1,qAR,N0CALL-10");
    ScriptedBeaconRecord::Fields &f = beacon->fields;
    if (field == QLatin1String("callsign"))
        f.callsign = value;
    else if (field == QLatin1String("statusText"))
        f.statusText = value;
    else if (field == QLatin1String("packetText")) {
        f.packetText = value;
        f.commentStart = 1;
    } else if (field == QLatin1String("packetHeader"))
        f.packetHeader = value;
    else if (field == QLatin1String("path"))
        f.packetHeader = QStringLiteral("N0CALL>") + value + QStringLiteral(",qAR,N0CALL-10");
    else if (field == QLatin1String("objectOwner"))
        f.objectOwner = value;
    else if (field == QLatin1String("symbolTable"))
        f.symbolTable = value;
    else if (field == QLatin1String("symbolCode"))
        f.symbolCode = value;
    else if (field == QLatin1String("symbol")) {
        f.symbolTable = value.left(1);
        f.symbolCode = value.mid(1);
    } else
        QFAIL("unknown field");

    mRecorder->processBeacon(beacon);

    QCOMPARE(mView->statusHistory.constLast(), QString());
    QCOMPARE(mView->status(), QString());
    QCOMPARE(rowCount(QStringLiteral("stations")), 1);
    QCOMPARE(rowCount(QStringLiteral("fixed_data")), 1);
    const QList<QStringList> rows = queryRows(mDb, select);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().join(QLatin1Char('|')), expected);
}

void TestRecordingDatabases::nulInAStatusPoisonsNothing_data()
{
    QTest::addColumn<QString>("database");
    addDatabaseRows("a status with a NUL byte, then five beacons");
}

// The Linux host ends the status at its NUL, so the station's later rows are
// all written, each with the status as far as the NUL.
void TestRecordingDatabases::nulInAStatusPoisonsNothing()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;

    LinuxHost host {HostSettings()};
    connect(&host, &HostApplication::NotifyBeaconData, &host,
        [this](BeaconRecordRef beacon) { mRecorder->processBeacon(beacon); });
    host.takePacket(QByteArray("N0CALL>APRS:>Net\0'); --", 23), 0);
    for (int i = 0; i < 5; ++i)
        host.takePacket("N0CALL>APRS:!4903.50N/07201.75W-beacon " + QByteArray::number(i), 0);

    QCOMPARE(mView->status(), QString());
    QCOMPARE(rowCount(QStringLiteral("stations")), 5);
    QCOMPARE(queryRows(mDb, QStringLiteral("select status, count(*) from fixed_data group by status")),
        (QList<QStringList> {{"Net", "5"}}));
}

void TestRecordingDatabases::notANumber_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<float>("value");
    QTest::addColumn<QStringList>("expectedStatus");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    for (const char *database : {"sqlite", "postgres", "mariadb"}) {
        const QString name = QString::fromLatin1(database);
        QTest::addRow("%s, NaN distance", database)
            << name << int(StationType::Fixed) << "distance" << nan << QStringList {StationsMessage, QString()};
        QTest::addRow("%s, infinite speed", database)
            << name << int(StationType::Mobile) << "speed" << infinity << QStringList {MobileMessage};
        QTest::addRow("%s, -infinite temperature", database)
            << name << int(StationType::Weather) << "temp" << -infinity << QStringList {WxMessage};
    }
}

// A number that is not one fails its own statement with the table's message;
// the other row of the beacon is written.
void TestRecordingDatabases::notANumber()
{
    QFETCH(QString, database);
    QFETCH(int, kind);
    QFETCH(QString, reading);
    QFETCH(float, value);
    QFETCH(QStringList, expectedStatus);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;

    auto beacon = beaconOfKind(qint16(kind));
    if (reading == QLatin1String("distance"))
        beacon->fields.distance = value;
    else if (reading == QLatin1String("speed"))
        beacon->fields.speed = value;
    else {
        WeatherReadings readings = sampleWeatherReadings();
        readings.tempC = value;
        mHost->weather.insert(QStringLiteral("WX1ABC"), std::make_shared<WeatherReadings>(readings));
    }
    mView->statusHistory.clear();
    mRecorder->processBeacon(beacon);

    // The stations row leaves the status line alone when it succeeds.
    QCOMPARE(mView->statusHistory, expectedStatus);
    QCOMPARE(rowCount(QStringLiteral("stations")), reading == QLatin1String("distance") ? 0 : 1);
    QCOMPARE(rowCount(detailTableOf(qint16(kind))), reading == QLatin1String("distance") ? 1 : 0);
}

void TestRecordingDatabases::connectionNotOpen_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("expectedStatus");

    for (const char *database : {"sqlite", "postgres", "mariadb"}) {
        const QString name = QString::fromLatin1(database);
        QTest::addRow("%s, fixed", database)
            << name << int(StationType::Fixed) << QStringList {StationsMessage, FixedMessage};
        QTest::addRow("%s, mobile", database)
            << name << int(StationType::Mobile) << QStringList {StationsMessage, MobileMessage};
        QTest::addRow("%s, weather", database)
            << name << int(StationType::Weather) << QStringList {StationsMessage, WxMessage};
    }
}

void TestRecordingDatabases::connectionNotOpen()
{
    QFETCH(QString, database);
    QFETCH(int, kind);
    QFETCH(QStringList, expectedStatus);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;

    // The Setup window's OK: log off, then a logon that the database refuses
    // leaves the closed connection in place.
    mLink->logOff(*mView);
    QVERIFY(!mView->linkConnected);
    const QString refused = mDb.needsServer() ? mDb.database : mDir->filePath(QStringLiteral("missing/keldan.db"));
    QVERIFY_THROWS_EXCEPTION(OdbcError,
        mLink->logon(mDb.dsn, mDb.user, mDb.needsServer() ? QStringLiteral("wrong") : mDb.password, refused, *mView));
    QVERIFY(!mLink->connected());
    mView->statusHistory.clear();

    mRecorder->processBeacon(beaconOfKind(qint16(kind)));

    QCOMPARE(mView->statusHistory, expectedStatus);
    QCOMPARE(mView->text(1), beaconOfKind(qint16(kind))->fields.callsign);
    QCOMPARE(rowCount(QStringLiteral("stations")), 0);
    QCOMPARE(rowCount(detailTableOf(qint16(kind))), 0);
}

void TestRecordingDatabases::serverStoppedMidRun_data()
{
    QTest::addColumn<QString>("database");
    QTest::addRow("postgres") << QStringLiteral("postgres");
    QTest::addRow("mariadb") << QStringLiteral("mariadb");
}

void TestRecordingDatabases::serverStoppedMidRun()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;

    const qint16 kinds[] = {StationType::Fixed, StationType::Mobile, StationType::Weather};
    int second = 0;
    for (qint16 kind : kinds)
        mRecorder->processBeacon(beaconOfKind(kind, second++));
    QCOMPARE(mView->status(), QString());

    stopServer(mDb);
    ServerRestart restart {mDb};

    for (qint16 kind : kinds) {
        mView->statusHistory.clear();
        mRecorder->processBeacon(beaconOfKind(kind, second++));
        QCOMPARE(mView->statusHistory, (QStringList {StationsMessage, detailMessageOf(kind)}));
        QCOMPARE(mView->text(1), beaconOfKind(kind)->fields.callsign);
    }

    startServer(mDb);
    restart.done = true;

    // The link alone is never re-opened (LinkHealer does that, below): until
    // the next logon the beacons are still handled, each with its messages.
    mView->statusHistory.clear();
    mRecorder->processBeacon(beaconOfKind(StationType::Mobile, second++));
    QCOMPARE(mView->statusHistory, (QStringList {StationsMessage, MobileMessage}));

    // The Setup window's OK logs off and on again; storing resumes.
    mLink->logOff(*mView);
    logon();
    for (qint16 kind : kinds)
        mRecorder->processBeacon(beaconOfKind(kind, second++));
    QCOMPARE(mView->status(), QString());
    QCOMPARE(rowCount(QStringLiteral("stations")), 6);
    for (qint16 kind : kinds)
        QCOMPARE(rowCount(detailTableOf(kind)), 2);
}

namespace {

// The queue's side of the window: the drain hands each beacon to the recorder.
class DrainView : public BeaconQueue::View
{
public:
    explicit DrainView(BeaconRecorder &recorder) : mRecorder(recorder) { }
    void setBufferCaption(const QString &) override { }
    void setStatusCaption(const QString &) override { }
    void processBeacon(const BeaconRecordRef &beacon) override { mRecorder.processBeacon(beacon); }
    void dispatchPendingMessages() override { }

private:
    BeaconRecorder &mRecorder;
};

}  // namespace

void TestRecordingDatabases::outageLosesNothingTheQueueHolds_data()
{
    serverStoppedMidRun_data();
}

// The window's road without the window: host notifications into the queue,
// the drain timer, the recorder, and the healer in front of the link. The
// server stays away while the healer's back-off grows to its longest wait and
// beacons keep arriving; a hundredth of the program's back-off keeps it short.
void TestRecordingDatabases::outageLosesNothingTheQueueHolds()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;

    LogCapture log;
    LinkHealer healer(*mLink, [this] {
        try {
            mLink->logOff(*mView);
        } catch (...) { }
        try {
            mLink->logon(mDb.dsn, mDb.user, mDb.password, mDb.database, *mView);
        } catch (...) { }
        return mLink->connected();
    });
    healer.backOff().setTimeScale(10);
    BeaconRecorder recorder(*mView, healer);
    recorder.attachHost(mHost.get());
    DrainView drainView(recorder);
    BeaconQueue queue(drainView);

    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] {
        if (healer.mayDrain())
            queue.TimerBeaconData_Timer();
    });
    int heard = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] { queue.queueBeacon(beaconOfKind(StationType::Mobile, heard++)); });
    drain.start(10);
    feed.start(100);
    QTRY_VERIFY(rowCount(QStringLiteral("mobile_data")) >= 10);

    stopServer(mDb);
    ServerRestart restart {mDb};
    const int heardAtStop = heard;
    // The waits the healer announces: doubling from 5 s, then 60 s each time.
    const auto announcedDelays = [&log] {
        static const QRegularExpression in(QStringLiteral("(?:reopening|next attempt) in (\\d+) s"));
        QList<int> delays;
        for (const QString &message : log.messages()) {
            const QRegularExpressionMatch match = in.match(message);
            if (match.hasMatch())
                delays << match.captured(1).toInt();
        }
        return delays;
    };
    QTRY_VERIFY_WITH_TIMEOUT(announcedDelays().size() >= 7, 30'000);
    QCOMPARE(announcedDelays().first(7), (QList<int> {5, 10, 20, 40, 60, 60, 60}));
    QVERIFY(!healer.mayDrain());
    QCOMPARE(healer.backOff().nextDelaySeconds(), BackOff::LongestDelaySeconds);
    // The failure showed as it always has, and beacons wait in the queue.
    QVERIFY(mView->statusHistory.contains(StationsMessage));
    QTRY_VERIFY(queue.queueCount() >= 5);
    QVERIFY2(queue.queueCount() >= heard - heardAtStop - 1, qPrintable(QString::number(queue.queueCount())));
    startServer(mDb);
    restart.done = true;

    // Beacons still arrive while the link heals.
    QTRY_VERIFY_WITH_TIMEOUT(healer.mayDrain(), 30'000);
    feed.stop();
    QTRY_COMPARE(queue.queueCount(), qint16(0));
    QCOMPARE(queue.refused(), 0);
    QVERIFY(healer.keptStatements().isEmpty());
    QCOMPARE(mView->status(), QString());
    // Every beacon once: as many rows as beacons, each time stamp once.
    QCOMPARE(rowCount(QStringLiteral("stations")), heard);
    QCOMPARE(rowCount(QStringLiteral("mobile_data")), heard);
    const QString distinctStamps = QStringLiteral("select count(*) from (select distinct %1 from %2) d");
    QCOMPARE(queryRows(mDb, distinctStamps.arg(QStringLiteral("dtstamp"), QStringLiteral("stations")))
                 .value(0)
                 .value(0)
                 .toInt(),
        heard);
    QCOMPARE(queryRows(mDb, distinctStamps.arg(QStringLiteral("fk_dtstamp"), QStringLiteral("mobile_data")))
                 .value(0)
                 .value(0)
                 .toInt(),
        heard);
}

// A missing table is no lost connection: the beacon's failure shows, nothing
// is kept and draining goes on.
void TestRecordingDatabases::otherFailuresAreNotKept()
{
    useDatabase(QStringLiteral("sqlite"));
    if (QTest::currentTestFailed())
        return;
    LinkHealer healer(*mLink, [] { return false; });
    BeaconRecorder recorder(*mView, healer);
    recorder.attachHost(mHost.get());
    mLink->execute(QStringLiteral("drop table mobile_data"));
    mView->statusHistory.clear();
    recorder.processBeacon(beaconOfKind(StationType::Mobile));
    QCOMPARE(mView->statusHistory, (QStringList {MobileMessage}));
    QVERIFY(healer.mayDrain());
    QCOMPARE(healer.retryDelayMs(), 0);
    QCOMPARE(healer.stored(), 1);
    QCOMPARE(healer.failureLog().failures(), 1);
}

QTEST_MAIN(TestRecordingDatabases)
#include "tst_recordingdatabases.moc"

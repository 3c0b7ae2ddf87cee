// The beacon road against a real SQLite database through its ODBC driver, with
// the recorder's controls as real widgets and a scripted host and records.

#include "StatementSpy.h"
#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "recording/BeaconRecorder.h"
#include "support/SampleReadings.h"
#include "support/ScriptedBeaconRecord.h"
#include "support/ScriptedHost.h"
#include "support/ScriptedWeatherRecord.h"
#include "support/WidgetRecorderView.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ErrorMessage = QStringLiteral("Error Inserting Data into database");
const QString StationsMessage = QStringLiteral("Stations Table (Error Inserting Data into database)");
const QString FixedMessage = QStringLiteral("Fixed Table (Error Inserting Data into database)");
const QString MobileMessage = QStringLiteral("Mobile Table (Error Inserting Data into database)");
const QString WxMessage = QStringLiteral("WX Table (Error Inserting Data into database)");
const QString Connected = QStringLiteral("Connected: sa@myodbc3-test");

const QDateTime Clock(QDate(2024, 3, 9), QTime(18, 7, 3));

}  // namespace

class TestBeaconRecorder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statements_data();
    void statements();

    void latestData();

    void routing_data();
    void routing();

    void gates_data();
    void gates();

    void timestamp_data();
    void timestamp();

    void readOrder_data();
    void readOrder();

    void hostFailures_data();
    void hostFailures();

    void databaseFailures_data();
    void databaseFailures();

    void weatherLookup_data();
    void weatherLookup();
    void weatherReadingsAtEachLookup();

    void valuesStayInTheirLiterals_data();
    void valuesStayInTheirLiterals();

    void missingRecord_data();
    void missingRecord();

private:
    QStringList rows(const QString &table) const;

    std::unique_ptr<QTemporaryDir> mDir;
    TestDatabase mDb;
    std::unique_ptr<OdbcConnection> mConnection;
    std::unique_ptr<StatementSpy> mSpy;
    std::unique_ptr<WidgetRecorderView> mView;
    std::unique_ptr<ScriptedHost> mHost;
    std::unique_ptr<BeaconRecorder> mRecorder;
};

void TestBeaconRecorder::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mDb = testDatabase(QStringLiteral("sqlite"), mDir->filePath(QStringLiteral("keldan.db")));
    recreateTables(mDb);
    mConnection = std::make_unique<OdbcConnection>(QStringLiteral("Connection1"));
    mConnection->open(mDb.connectionString());
    mSpy = std::make_unique<StatementSpy>(*mConnection);
    mView = std::make_unique<WidgetRecorderView>();
    mView->presetStatus(Connected);
    mHost = std::make_unique<ScriptedHost>();
    mHost->weather.insert(QStringLiteral("WX1ABC"), std::make_shared<WeatherReadings>(sampleWeatherReadings(-3.5f)));
    mRecorder = std::make_unique<BeaconRecorder>(*mView, *mSpy);
    mRecorder->attachHost(mHost.get());
    mRecorder->weatherRecord() = std::make_shared<WeatherReadings>();
    mRecorder->setClock([] { return Clock; });
}

void TestBeaconRecorder::cleanup()
{
    mRecorder.reset();
    mHost.reset();
    mView.reset();
    mSpy.reset();
    mConnection.reset();
    mDir.reset();
}

QStringList TestBeaconRecorder::rows(const QString &table) const
{
    QStringList texts;
    const QList<QStringList> found = queryRows(mDb, QStringLiteral("select * from %1").arg(table));
    for (const QStringList &row : found)
        texts.append(row.join(QLatin1Char('|')));
    return texts;
}

void TestBeaconRecorder::statements_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("mobile station heard direct")
        << int(StationType::Mobile)
        << QStringList {
               QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,"
                              "symbol,object_owner) values ('N0CALL-9','2004-05-06 14:30:00','2',12.5,3090.25,-7.5,1,"
                              "1,'/>','')"),
               QStringLiteral("insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) values "
                              "('N0CALL-9','2004-05-06 14:30:00','0','12.5','APRS,WIDE1-1,WIDE2-1','270')")};
    QTest::addRow("fixed station, owner trimmed, table backslash kept, comment apostrophes removed")
        << int(StationType::Fixed)
        << QStringList {
               QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,"
                              "symbol,object_owner) values ('N0CALL','2004-05-06 14:30:00','0',0.1,3090.12,-7.5,1,1,"
                              "'\\k','N0CALL-2')"),
               QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) values ('N0CALL',"
                              "'2004-05-06 14:30:00','On the air','PHG2360 its 5C','APRS,WIDE2-1')")};
    QTest::addRow("weather station, no blank before values")
        << int(StationType::Weather)
        << QStringList {
               QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,"
                              "symbol,object_owner) values ('WX1ABC','2004-05-06 14:30:00','1',3.25,3091.5,10.75,0,0,"
                              "'/_','')"),
               QStringLiteral("insert into wx_data (fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,"
                              "rain_last_hour,rain_today,temp,wind_chill,wind_direction,wind_gust,wind_speed)values "
                              "('WX1ABC','2004-05-06 14:30:00','1013.2','-6','55','12.5','0.25','3','-3.5','-9.75',"
                              "'270','14','8.5')")};
}

void TestBeaconRecorder::statements()
{
    QFETCH(int, kind);
    QFETCH(QStringList, expected);

    mRecorder->processBeacon(sampleBeacon(qint16(kind)));

    QCOMPARE(mSpy->statements, expected);
    QCOMPARE(mSpy->accepted, expected);
    // A detail row that succeeds empties the status line.
    QCOMPARE(mView->statusHistory, QStringList {QString()});
}

void TestBeaconRecorder::latestData()
{
    auto beacon = sampleBeacon(StationType::Fixed);
    beacon->fields.latitude = 3090.12f;
    beacon->fields.longitude = -7.5f;

    mRecorder->processBeacon(beacon);

    QCOMPARE(mView->text(1), QStringLiteral("N0CALL"));
    QCOMPARE(mView->text(2), QStringLiteral("51.30.12N"));
    QCOMPARE(mView->text(3), QStringLiteral("000.07.50W"));
    // The moment of processing, not the beacon's time: the system's short
    // date and its time of day with the seconds. This test runs under en_US
    // (see CMakeLists.txt), whose short time format has no seconds.
    const QLocale system = QLocale::system();
    QCOMPARE(system.name(), QStringLiteral("en_US"));
    const auto shown = [&](const QDateTime &at, const QString &time) {
        return system.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ') + time;
    };
    QCOMPARE(mView->text(4).simplified(), shown(Clock, QStringLiteral("6:07:03 PM")));

    // Each beacon shows its own moment: a later second, then a later day.
    const QString times[] = {QStringLiteral("6:07:04 PM"), QStringLiteral("6:07:03 PM"), QStringLiteral("6:07:03 PM")};
    int i = 0;
    for (const QDateTime &later : {Clock.addSecs(1), Clock.addDays(1), Clock.addDays(1)}) {
        mRecorder->setClock([later] { return later; });
        mRecorder->processBeacon(beacon);
        QCOMPARE(mView->text(4).simplified(), shown(later, times[i++]));
    }
}

void TestBeaconRecorder::routing_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<bool>("mobile");
    QTest::addColumn<bool>("wx");
    QTest::addColumn<QStringList>("expectedTables");

    const struct {
        int kind;
        const char *name;
    } kinds[] = {{0, "fixed"}, {1, "weather"}, {2, "mobile"}, {3, "kind 3"}, {-1, "kind -1"}};
    for (const auto &k : kinds) {
        for (int mask = 0; mask < 8; ++mask) {
            const bool fixed = mask & 1;
            const bool mobile = mask & 2;
            const bool wx = mask & 4;
            const bool captured = (k.kind == 0 && fixed) || (k.kind == 2 && mobile) || (k.kind == 1 && wx);
            const QStringList tables =
                captured ? QStringList {QStringLiteral("stations"), detailTableOf(qint16(k.kind))} : QStringList {};
            QTest::addRow(
                "%s, Fixed %s Mobile %s WX %s", k.name, fixed ? "on" : "off", mobile ? "on" : "off", wx ? "on" : "off")
                << k.kind << fixed << mobile << wx << tables;
        }
    }
}

void TestBeaconRecorder::routing()
{
    QFETCH(int, kind);
    QFETCH(bool, fixed);
    QFETCH(bool, mobile);
    QFETCH(bool, wx);
    QFETCH(QStringList, expectedTables);

    mView->setChecks(fixed, mobile, wx, false, true);
    auto beacon = sampleBeacon(qint16(kind));

    mRecorder->processBeacon(beacon);

    QCOMPARE(mSpy->acceptedTables(), expectedTables);
    // Shown whatever is stored.
    QCOMPARE(mView->text(1), beacon->fields.callsign);
    QVERIFY(!mView->text(4).isEmpty());
    // Each of the three routing tests reads the kind afresh; the stations row
    // reads it once more.
    QCOMPARE(beacon->readCount(QStringLiteral("stationType")), expectedTables.isEmpty() ? 3 : 4);
    for (const QString &table : expectedTables)
        QCOMPARE(rows(table).size(), 1);
    QCOMPARE(mView->status(), expectedTables.isEmpty() ? Connected : QString());
}

void TestBeaconRecorder::gates_data()
{
    QTest::addColumn<bool>("enableBridge");
    QTest::addColumn<bool>("enforceExclusions");
    QTest::addColumn<int>("excluded");
    QTest::addColumn<bool>("processed");
    QTest::addColumn<int>("excludedReads");

    QTest::addRow("bridge off: nothing shown or stored") << false << false << int(HostFalse) << false << 0;
    QTest::addRow("bridge off with exclusions enforced: nothing read") << false << true << int(HostTrue) << false << 0;
    QTest::addRow("excluded and enforced: dropped") << true << true << int(HostTrue) << false << 1;
    QTest::addRow("not excluded and enforced: stored") << true << true << int(HostFalse) << true << 1;
    QTest::addRow("excluded, not enforced: stored, flag unread") << true << false << int(HostTrue) << true << 0;
    QTest::addRow("flag 1 is not True: stored") << true << true << 1 << true << 1;
}

void TestBeaconRecorder::gates()
{
    QFETCH(bool, enableBridge);
    QFETCH(bool, enforceExclusions);
    QFETCH(int, excluded);
    QFETCH(bool, processed);
    QFETCH(int, excludedReads);

    mView->setChecks(true, true, true, enforceExclusions, enableBridge);
    auto beacon = sampleBeacon(StationType::Fixed);
    beacon->fields.excluded = HostBool(excluded);

    mRecorder->processBeacon(beacon);

    QCOMPARE(beacon->readCount(QStringLiteral("excluded")), excludedReads);
    if (processed) {
        QCOMPARE(mSpy->acceptedTables(), (QStringList {QStringLiteral("stations"), QStringLiteral("fixed_data")}));
        QCOMPARE(mView->text(1), QStringLiteral("N0CALL"));
    } else {
        QVERIFY(mSpy->statements.isEmpty());
        for (int text = 1; text <= 4; ++text)
            QCOMPARE(mView->text(text), QString());
        const QStringList reads = beacon->reads();
        QCOMPARE(reads, excludedReads ? QStringList {QStringLiteral("excluded")} : QStringList {});
        QCOMPARE(mView->status(), Connected);
    }
}

void TestBeaconRecorder::timestamp_data()
{
    QTest::addColumn<QDateTime>("timeA");
    QTest::addColumn<QDateTime>("timeB");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("timeReads");

    const QDateTime early(QDate(2004, 2, 3), QTime(7, 5, 9));
    const QDateTime late(QDate(2004, 2, 3), QTime(7, 5, 10));
    const QString a = QStringLiteral("timeA");
    const QString b = QStringLiteral("timeB");
    QTest::addRow("timeA later stores timeA")
        << late << early << QStringLiteral("2004-02-03 07:05:10") << QStringList {b, a, a};
    QTest::addRow("timeB later stores timeB")
        << early << late << QStringLiteral("2004-02-03 07:05:10") << QStringList {b, a, b};
    QTest::addRow("equal stores timeB") << early << early << QStringLiteral("2004-02-03 07:05:09")
                                        << QStringList {b, a, b};
    QTest::addRow("a day apart") << QDateTime(QDate(2004, 2, 4), QTime(0, 0, 0)) << late
                                 << QStringLiteral("2004-02-04 00:00:00") << QStringList {b, a, a};
}

void TestBeaconRecorder::timestamp()
{
    QFETCH(QDateTime, timeA);
    QFETCH(QDateTime, timeB);
    QFETCH(QString, expected);
    QFETCH(QStringList, timeReads);

    auto beacon = sampleBeacon(StationType::Mobile);
    beacon->fields.timeA = timeA;
    beacon->fields.timeB = timeB;

    mRecorder->processBeacon(beacon);

    QStringList reads = beacon->reads();
    reads.removeIf([](const QString &name) { return !name.startsWith(QLatin1String("time")); });
    QCOMPARE(reads, timeReads);
    // The stations row and its detail row carry the same text.
    QCOMPARE(rows(QStringLiteral("stations")).value(0).section(QLatin1Char('|'), 1, 1), expected);
    QCOMPARE(rows(QStringLiteral("mobile_data")).value(0).section(QLatin1Char('|'), 1, 1), expected);
}

void TestBeaconRecorder::readOrder_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("expected");

    const QStringList dispatch = {QStringLiteral("excluded"), QStringLiteral("callsign"), QStringLiteral("latitude"),
        QStringLiteral("longitude"), QStringLiteral("timeB"), QStringLiteral("timeA"), QStringLiteral("timeA")};
    const QStringList station = {QStringLiteral("callsign"), QStringLiteral("stationType"), QStringLiteral("distance"),
        QStringLiteral("latitude"), QStringLiteral("longitude"), QStringLiteral("heardDirect"),
        QStringLiteral("radioPort"), QStringLiteral("symbolTable"), QStringLiteral("symbolCode"),
        QStringLiteral("objectOwner")};
    const QString kindRead = QStringLiteral("stationType");

    QTest::addRow("fixed") << int(StationType::Fixed)
                           << dispatch + QStringList {kindRead} + station
            + QStringList {QStringLiteral("callsign"), QStringLiteral("statusText"), QStringLiteral("packetText"),
                QStringLiteral("commentStart"), QStringLiteral("packetHeader"), kindRead, kindRead};
    QTest::addRow("mobile") << int(StationType::Mobile)
                            << dispatch + QStringList {kindRead, kindRead} + station
            + QStringList {QStringLiteral("callsign"), QStringLiteral("height"), QStringLiteral("speed"),
                QStringLiteral("packetHeader"), QStringLiteral("course"), kindRead};
    // The weather row reads the callsign once for the lookup and again for
    // its statement.
    QTest::addRow("weather") << int(StationType::Weather)
                             << dispatch + QStringList {kindRead, kindRead, kindRead} + station
            + QStringList {QStringLiteral("callsign"), QStringLiteral("callsign")};
    QTest::addRow("kind 3 is only shown") << 3 << dispatch + QStringList {kindRead, kindRead, kindRead};
}

void TestBeaconRecorder::readOrder()
{
    QFETCH(int, kind);
    QFETCH(QStringList, expected);

    mView->setChecks(true, true, true, true, true);
    auto beacon = sampleBeacon(qint16(kind));
    auto weather = std::make_shared<ScriptedWeatherRecord>(sampleWeatherReadings(-3.5f));
    mHost->weather.insert(QStringLiteral("WX1ABC"), weather);

    mRecorder->processBeacon(beacon);

    QCOMPARE(beacon->reads(), expected);
    if (kind == StationType::Weather) {
        QCOMPARE(weather->reads(),
            (QStringList {QStringLiteral("pressure"), QStringLiteral("dewpoint"), QStringLiteral("humidity"),
                QStringLiteral("rain24Hours"), QStringLiteral("rainLastHour"), QStringLiteral("rainToday"),
                QStringLiteral("temp"), QStringLiteral("windChill"), QStringLiteral("windDirection"),
                QStringLiteral("windGust"), QStringLiteral("windSpeed")}));
        QCOMPARE(mHost->lookups, QStringList {QStringLiteral("WX1ABC")});
    }
}

void TestBeaconRecorder::hostFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<QStringList>("expectedStatus");
    QTest::addColumn<QStringList>("expectedTables");
    QTest::addColumn<QString>("lastRead");

    const QString stations = QStringLiteral("stations");
    const QString fixed = QStringLiteral("fixed_data");
    const QString mobile = QStringLiteral("mobile_data");
    const QString wx = QStringLiteral("wx_data");
    const QStringList cleared {QString()};

    // Dispatch reads: the beacon ends with the one general message.
    QTest::addRow("callsign for Text1") << 0 << QStringLiteral("callsign") << 1 << QStringList {ErrorMessage}
                                        << QStringList {} << QStringLiteral("callsign");
    QTest::addRow("latitude") << 0 << QStringLiteral("latitude") << 1 << QStringList {ErrorMessage} << QStringList {}
                              << QStringLiteral("latitude");
    QTest::addRow("longitude") << 2 << QStringLiteral("longitude") << 1 << QStringList {ErrorMessage} << QStringList {}
                               << QStringLiteral("longitude");
    QTest::addRow("timeB") << 0 << QStringLiteral("timeB") << 1 << QStringList {ErrorMessage} << QStringList {}
                           << QStringLiteral("timeB");
    QTest::addRow("timeA read again") << 0 << QStringLiteral("timeA") << 2 << QStringList {ErrorMessage}
                                      << QStringList {} << QStringLiteral("timeA");
    QTest::addRow("first kind read") << 0 << QStringLiteral("stationType") << 1 << QStringList {ErrorMessage}
                                     << QStringList {} << QStringLiteral("stationType");
    QTest::addRow("kind read after the fixed rows")
        << 0 << QStringLiteral("stationType") << 3 << QStringList {QString(), ErrorMessage}
        << QStringList {stations, fixed} << QStringLiteral("stationType");

    // Stations reads: its message, and the detail row still runs.
    QTest::addRow("stations callsign, fixed row stored")
        << 0 << QStringLiteral("callsign") << 2 << QStringList {StationsMessage, QString()} << QStringList {fixed}
        << QStringLiteral("stationType");
    QTest::addRow("stations kind, mobile row stored")
        << 2 << QStringLiteral("stationType") << 3 << QStringList {StationsMessage, QString()} << QStringList {mobile}
        << QStringLiteral("stationType");
    QTest::addRow("distance") << 0 << QStringLiteral("distance") << 1 << QStringList {StationsMessage, QString()}
                              << QStringList {fixed} << QStringLiteral("stationType");
    QTest::addRow("heardDirect") << 2 << QStringLiteral("heardDirect") << 1 << QStringList {StationsMessage, QString()}
                                 << QStringList {mobile} << QStringLiteral("stationType");
    QTest::addRow("symbolCode") << 0 << QStringLiteral("symbolCode") << 1 << QStringList {StationsMessage, QString()}
                                << QStringList {fixed} << QStringLiteral("stationType");
    QTest::addRow("objectOwner, weather row stored")
        << 1 << QStringLiteral("objectOwner") << 1 << QStringList {StationsMessage, QString()} << QStringList {wx}
        << QStringLiteral("callsign");

    // Detail reads: the stations row stays, the detail message is shown.
    QTest::addRow("fixed callsign") << 0 << QStringLiteral("callsign") << 3 << QStringList {FixedMessage}
                                    << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("statusText") << 0 << QStringLiteral("statusText") << 1 << QStringList {FixedMessage}
                                << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("packetText") << 0 << QStringLiteral("packetText") << 1 << QStringList {FixedMessage}
                                << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("commentStart") << 0 << QStringLiteral("commentStart") << 1 << QStringList {FixedMessage}
                                  << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("fixed packetHeader") << 0 << QStringLiteral("packetHeader") << 1 << QStringList {FixedMessage}
                                        << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("height") << 2 << QStringLiteral("height") << 1 << QStringList {MobileMessage}
                            << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("mobile packetHeader") << 2 << QStringLiteral("packetHeader") << 1 << QStringList {MobileMessage}
                                         << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("course") << 2 << QStringLiteral("course") << 1 << QStringList {MobileMessage}
                            << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("weather callsign for the lookup") << 1 << QStringLiteral("callsign") << 3 << QStringList {WxMessage}
                                                     << QStringList {stations} << QStringLiteral("callsign");
    QTest::addRow("weather callsign read again") << 1 << QStringLiteral("callsign") << 4 << QStringList {WxMessage}
                                                 << QStringList {stations} << QStringLiteral("callsign");
    QTest::addRow("weather pressure") << 1 << QStringLiteral("pressure") << 1 << QStringList {WxMessage}
                                      << QStringList {stations} << QStringLiteral("callsign");
    QTest::addRow("weather windSpeed, the last value")
        << 1 << QStringLiteral("windSpeed") << 1 << QStringList {WxMessage} << QStringList {stations}
        << QStringLiteral("callsign");
    QTest::addRow("weather lookup itself") << 1 << QStringLiteral("lookupWeather") << 1 << QStringList {WxMessage}
                                           << QStringList {stations} << QStringLiteral("callsign");

    // A comment start outside the text is a failed request for part of it.
    QTest::addRow("comment start 0") << 0 << QStringLiteral("commentStart=0") << 0 << QStringList {FixedMessage}
                                     << QStringList {stations} << QStringLiteral("stationType");
    QTest::addRow("comment start past the end + 1")
        << 0 << QStringLiteral("commentStart=past") << 0 << QStringList {FixedMessage} << QStringList {stations}
        << QStringLiteral("stationType");
    QTest::addRow("comment start at the end + 1 is empty")
        << 0 << QStringLiteral("commentStart=end") << 0 << cleared << QStringList {stations, fixed}
        << QStringLiteral("stationType");

    // Controls that fail to update.
    QTest::addRow("Text1 update") << 0 << QStringLiteral("Text1") << 0 << QStringList {ErrorMessage} << QStringList {}
                                  << QStringLiteral("callsign");
    QTest::addRow("Text4 update") << 2 << QStringLiteral("Text4") << 0 << QStringList {ErrorMessage} << QStringList {}
                                  << QStringLiteral("longitude");
}

void TestBeaconRecorder::hostFailures()
{
    QFETCH(int, kind);
    QFETCH(QString, property);
    QFETCH(int, occurrence);
    QFETCH(QStringList, expectedStatus);
    QFETCH(QStringList, expectedTables);
    QFETCH(QString, lastRead);

    auto beacon = sampleBeacon(qint16(kind));
    auto weather = std::make_shared<ScriptedWeatherRecord>(sampleWeatherReadings(-3.5f));
    mHost->weather.insert(QStringLiteral("WX1ABC"), weather);
    mHost->delivery = ScriptedHost::Delivery::Replace;

    if (property == QLatin1String("lookupWeather"))
        mHost->failLookup = true;
    else if (property == QLatin1String("commentStart=0"))
        beacon->fields.commentStart = 0;
    else if (property == QLatin1String("commentStart=past"))
        beacon->fields.commentStart = qint16(beacon->fields.packetText.size() + 2);
    else if (property == QLatin1String("commentStart=end"))
        beacon->fields.commentStart = qint16(beacon->fields.packetText.size() + 1);
    else if (property.startsWith(QLatin1String("Text")))
        mView->failingText = property.mid(4).toInt();
    else if (QStringList {QStringLiteral("pressure"), QStringLiteral("windSpeed")}.contains(property))
        weather->failRead(property, occurrence);
    else
        beacon->failRead(property, occurrence);

    mRecorder->processBeacon(beacon);  // never throws

    QCOMPARE(mView->statusHistory, expectedStatus);
    QCOMPARE(mSpy->acceptedTables(), expectedTables);
    for (const QString &table : {QStringLiteral("stations"), detailTableOf(qint16(kind))})
        QCOMPARE(rows(table).size(), int(expectedTables.contains(table)));
    // A failing value ends its operation: nothing after it is read.
    QCOMPARE(beacon->reads().constLast(), lastRead);
    if (property == QLatin1String("pressure"))
        QCOMPARE(weather->reads(), QStringList {QStringLiteral("pressure")});

    // The next beacon is handled normally.
    mView->statusHistory.clear();
    mView->failingText = 0;
    mHost->failLookup = false;
    weather->clearFailures();
    auto next = sampleBeacon(qint16(kind));
    next->fields.timeA = next->fields.timeA.addSecs(1);
    mSpy->accepted.clear();
    mRecorder->processBeacon(next);
    QCOMPARE(mSpy->acceptedTables(), (QStringList {QStringLiteral("stations"), detailTableOf(qint16(kind))}));
    QCOMPARE(mView->statusHistory, QStringList {QString()});
}

void TestBeaconRecorder::databaseFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("hasWeather");
    QTest::addColumn<QStringList>("expectedStatus");
    QTest::addColumn<QString>("finalStatus");
    QTest::addColumn<QStringList>("expectedTables");

    const QString stations = QStringLiteral("stations");
    QTest::addRow("all accepted: stations leaves the line, fixed empties it")
        << 0 << QString() << true << QStringList {QString()} << QString()
        << QStringList {stations, QStringLiteral("fixed_data")};
    QTest::addRow("weather without readings: the line keeps what it had")
        << 1 << QString() << false << QStringList {} << Connected << QStringList {stations};
    QTest::addRow("stations rejected, fixed accepted: the line ends empty")
        << 0 << QStringLiteral("drop stations") << true << QStringList {StationsMessage, QString()} << QString()
        << QStringList {QStringLiteral("fixed_data")};
    QTest::addRow("stations rejected, weather without readings: the message stays")
        << 1 << QStringLiteral("drop stations") << false << QStringList {StationsMessage} << StationsMessage
        << QStringList {};
    QTest::addRow("fixed rejected") << 0 << QStringLiteral("drop fixed_data") << true << QStringList {FixedMessage}
                                    << FixedMessage << QStringList {stations};
    QTest::addRow("mobile rejected") << 2 << QStringLiteral("drop mobile_data") << true << QStringList {MobileMessage}
                                     << MobileMessage << QStringList {stations};
    QTest::addRow("weather rejected") << 1 << QStringLiteral("drop wx_data") << true << QStringList {WxMessage}
                                      << WxMessage << QStringList {stations};
    QTest::addRow("connection not open, fixed")
        << 0 << QStringLiteral("close") << true << QStringList {StationsMessage, FixedMessage} << FixedMessage
        << QStringList {};
    QTest::addRow("connection not open, mobile")
        << 2 << QStringLiteral("close") << true << QStringList {StationsMessage, MobileMessage} << MobileMessage
        << QStringList {};
    QTest::addRow("connection not open, weather")
        << 1 << QStringLiteral("close") << true << QStringList {StationsMessage, WxMessage} << WxMessage
        << QStringList {};
    QTest::addRow("connection not open, weather without readings")
        << 1 << QStringLiteral("close") << false << QStringList {StationsMessage} << StationsMessage << QStringList {};
}

void TestBeaconRecorder::databaseFailures()
{
    QFETCH(int, kind);
    QFETCH(QString, fault);
    QFETCH(bool, hasWeather);
    QFETCH(QStringList, expectedStatus);
    QFETCH(QString, finalStatus);
    QFETCH(QStringList, expectedTables);

    if (!hasWeather)
        mHost->weather.clear();
    if (fault == QLatin1String("close"))
        mConnection->close();
    else if (!fault.isEmpty())
        mConnection->execute(fault.replace(QLatin1String("drop "), QLatin1String("drop table ")));

    mRecorder->processBeacon(sampleBeacon(qint16(kind)));

    QCOMPARE(mView->statusHistory, expectedStatus);
    QCOMPARE(mView->status(), finalStatus);
    QCOMPARE(mSpy->acceptedTables(), expectedTables);
    QCOMPARE(mSpy->statements.size(), (kind == StationType::Weather && !hasWeather) ? 1 : 2);
}

void TestBeaconRecorder::weatherLookup_data()
{
    QTest::addColumn<int>("delivery");
    QTest::addColumn<int>("notFoundResult");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("stored");

    QTest::addRow("filled in place") << int(ScriptedHost::Delivery::FillInPlace) << int(HostFalse) << true << true;
    QTest::addRow("replaced by the host's record")
        << int(ScriptedHost::Delivery::Replace) << int(HostFalse) << true << true;
    QTest::addRow("unknown station: False")
        << int(ScriptedHost::Delivery::FillInPlace) << int(HostFalse) << false << false;
    QTest::addRow("unknown station: 1 is not True") << int(ScriptedHost::Delivery::FillInPlace) << 1 << false << false;
}

void TestBeaconRecorder::weatherLookup()
{
    QFETCH(int, delivery);
    QFETCH(int, notFoundResult);
    QFETCH(bool, known);
    QFETCH(bool, stored);

    const WeatherRecordRef startUpRecord = mRecorder->weatherRecord();
    const WeatherRecordRef hostRecord = mHost->weather.value(QStringLiteral("WX1ABC"));
    mHost->delivery = ScriptedHost::Delivery(delivery);
    mHost->notFoundResult = HostBool(notFoundResult);
    if (!known)
        mHost->weather.clear();

    mRecorder->processBeacon(sampleBeacon(StationType::Weather));

    QCOMPARE(mHost->lookups, QStringList {QStringLiteral("WX1ABC")});
    const QStringList wxRows = rows(QStringLiteral("wx_data"));
    QCOMPARE(wxRows.size(), stored ? 1 : 0);
    if (stored)
        QCOMPARE(wxRows.first(),
            QStringLiteral("WX1ABC|2004-05-06 14:30:00|1013.2|-6.0|55.0|12.5|0.25|3.0|-3.5|"
                           "-9.75|270.0|14.0|8.5"));
    // The member keeps what the lookup left in it.
    const bool replaced = known && ScriptedHost::Delivery(delivery) == ScriptedHost::Delivery::Replace;
    QCOMPARE(mRecorder->weatherRecord(), replaced ? hostRecord : startUpRecord);
    QCOMPARE(mRecorder->weatherRecord()->temp(), known ? -3.5f : 0.0f);
}

void TestBeaconRecorder::weatherReadingsAtEachLookup()
{
    auto readings = std::make_shared<WeatherReadings>(sampleWeatherReadings(-3.5f));
    mHost->weather.insert(QStringLiteral("WX1ABC"), readings);
    auto first = sampleBeacon(StationType::Weather);
    mRecorder->processBeacon(first);

    readings->tempC = 4.25f;
    auto second = sampleBeacon(StationType::Weather);
    second->fields.timeA = SampleStamp.addSecs(600);
    mRecorder->processBeacon(second);

    const QList<QStringList> found =
        queryRows(mDb, QStringLiteral("select fk_dtstamp, temp from wx_data order by fk_dtstamp"));
    QCOMPARE(found,
        (QList<QStringList> {{QStringLiteral("2004-05-06 14:30:00"), QStringLiteral("-3.5")},
            {QStringLiteral("2004-05-06 14:40:00"), QStringLiteral("4.25")}}));
}

void TestBeaconRecorder::valuesStayInTheirLiterals_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("expectedStatement");

    const QString head = QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) values "
                                        "('N0CALL','2004-05-06 14:30:00','");
    const QString tail = QStringLiteral("','PHG2360 its 5C','APRS,WIDE2-1')");
    QTest::addRow("a later placeholder stays as sent")
        << QStringLiteral("see <PATH> and <COMMENT>") << head + QStringLiteral("see <PATH> and <COMMENT>") + tail;
    QTest::addRow("an earlier placeholder stays as sent")
        << QStringLiteral("<CALL>") << head + QStringLiteral("<CALL>") + tail;
    QTest::addRow("apostrophes doubled") << QStringLiteral("it's") << head + QStringLiteral("it''s") + tail;
    QTest::addRow("injection stays a value") << QStringLiteral("'); drop table stations; --")
                                             << head + QStringLiteral("''); drop table stations; --") + tail;
    QTest::addRow("backslash at the end, standard SQL")
        << QStringLiteral("C:\\") << head + QStringLiteral("C:\\") + tail;
}

void TestBeaconRecorder::valuesStayInTheirLiterals()
{
    QFETCH(QString, status);
    QFETCH(QString, expectedStatement);

    auto beacon = sampleBeacon(StationType::Fixed);
    beacon->fields.statusText = status;

    mRecorder->processBeacon(beacon);

    QCOMPARE(mSpy->statements.value(1), expectedStatement);
    QCOMPARE(queryRows(mDb, QStringLiteral("select status from fixed_data")), QList<QStringList> {{status}});
    QCOMPARE(rows(QStringLiteral("stations")).size(), 1);
}

void TestBeaconRecorder::missingRecord_data()
{
    QTest::addColumn<bool>("enableBridge");
    QTest::addColumn<QStringList>("expectedStatus");

    QTest::addRow("bridge on: the general message") << true << QStringList {ErrorMessage};
    QTest::addRow("bridge off: nothing") << false << QStringList {};
}

void TestBeaconRecorder::missingRecord()
{
    QFETCH(bool, enableBridge);
    QFETCH(QStringList, expectedStatus);

    mView->setChecks(true, true, true, false, enableBridge);
    mRecorder->processBeacon(BeaconRecordRef());

    QCOMPARE(mView->statusHistory, expectedStatus);
    QVERIFY(mSpy->statements.isEmpty());
}

QTEST_MAIN(TestBeaconRecorder)
#include "tst_beaconrecorder.moc"

// What the report reads back from rows the bridge stored, on SQLite,
// PostgreSQL and MariaDB alike: the period, the latest of every station,
// tracks and weather series.

#include "RecordedStations.h"
#include "db/OdbcConnection.h"
#include "report/DtstampText.h"
#include "report/ReportReader.h"

#include <QTemporaryDir>
#include <QTest>

class TestReportReader : public QObject
{
    Q_OBJECT

private slots:
    void readsWhatTheBridgeStored_data();
    void readsWhatTheBridgeStored();
    void readsEveryBlock_data();
    void readsEveryBlock();
};

void TestReportReader::readsWhatTheBridgeStored_data()
{
    addDatabaseRows();
}

void TestReportReader::readsWhatTheBridgeStored()
{
    QFETCH(QString, database);
    QTemporaryDir dir;
    const TestDatabase db = testDatabase(database, dir.filePath(QStringLiteral("keldan.db")));
    KELDAN_REQUIRE_DATABASE(db);
    RecordedStations::store(db);
    if (QTest::currentTestFailed())
        return;

    OdbcConnection connection(QStringLiteral("Report"));
    connection.open(db.connectionString());
    const auto seconds = [](const char *text) {
        qint64 value = 0;
        parseDtstamp(QString::fromLatin1(text), value);
        return value;
    };
    const ReportData data = ReportReader(connection).read(ReportPeriod::parse(RecordedStations::Since, QString(), 0));

    QCOMPARE(data.stationRows, 9);  // OLD1 is before the period
    QCOMPARE(data.fixedRows, 1);
    QCOMPARE(data.mobileRows, 5);
    QCOMPARE(data.weatherRows, 3);
    QCOMPARE(data.skippedRows, 0);
    QStringList callsigns;
    for (const StationSummary &station : data.stations)
        callsigns << station.callsign;
    QCOMPARE(callsigns, QStringList({"N0CALL", "N0CALL-9", "WX1ABC"}));

    const StationSummary &fixed = data.stations.at(0);
    QCOMPARE(fixed.kind, 0);
    QCOMPARE(fixed.objectOwner, QStringLiteral("N0CALL-2"));
    QCOMPARE(fixed.symbol, QStringLiteral("\\k"));
    QVERIFY(qAbs(fixed.latitudeDeg - 51.502) < 1e-5);  // 3090.12 minutes
    QVERIFY(qAbs(fixed.longitudeDeg + 0.125) < 1e-5);
    QCOMPARE(fixed.lastHeard, seconds("2004-05-06 14:30:30"));
    QCOMPARE(fixed.comment, RecordedStations::Comment);
    QCOMPARE(fixed.status, QStringLiteral("On the air"));
    QVERIFY(!fixed.everMobile);

    // Five beacons, one of them where the one before it was.
    const StationSummary &mobile = data.stations.at(1);
    QCOMPARE(mobile.kind, 2);
    QCOMPARE(mobile.beacons, 5);
    QCOMPARE(mobile.firstHeard, seconds("2004-05-06 14:31:00"));
    QCOMPARE(mobile.lastHeard, seconds("2004-05-06 14:35:00"));
    QCOMPARE(mobile.track.size(), 4);
    QCOMPARE(mobile.track.first().latitudeDeg, 50.0);
    QCOMPARE(mobile.track.last().latitudeDeg, 50.25);
    QCOMPARE(mobile.track.last().longitudeDeg, 10.25);
    QCOMPARE(mobile.speedKmh, 44.0);
    QCOMPARE(mobile.courseDeg, 270);
    QCOMPARE(mobile.mobilePath, QStringLiteral("APRS,WIDE1-1,WIDE2-1"));
    QVERIFY(mobile.heardDirect);

    const StationSummary &weather = data.stations.at(2);
    QCOMPARE(weather.kind, 1);
    QCOMPARE(weather.latitudeDeg, 47.0);
    QVERIFY(qAbs(weather.longitudeDeg - 4.8) < 1e-9);
    QCOMPARE(data.weather.size(), size_t(1));
    const QList<WeatherSample> &samples = data.weather.at(QStringLiteral("WX1ABC"));
    QCOMPARE(samples.size(), 3);
    QCOMPARE(samples.at(0).tempC, -3.5);
    QCOMPARE(samples.at(2).tempC, -1.5);
    QCOMPARE(samples.at(2).seconds, seconds("2004-05-06 14:50:00"));
    QCOMPARE(samples.at(0).pressureHpa.value_or(0), 1013.2);
    QVERIFY(!samples.at(1).pressureHpa);  // 0 stored: not sent
    QCOMPARE(samples.at(1).humidityPercent.value_or(0), 55.0);
    QCOMPARE(samples.at(1).windSpeedMs, 8.5);
    QCOMPARE(samples.at(1).rainLastHourMm, 0.25);

    // An end: the weather station's last two readings and the last mobile
    // beacons fall after it.
    const ReportData early =
        ReportReader(connection)
            .read(ReportPeriod::parse(RecordedStations::Since, QStringLiteral("2004-05-06 14:33"), 0));
    QCOMPARE(early.stationRows, 4);
    QCOMPARE(early.weather.at(QStringLiteral("WX1ABC")).size(), 1);
    QCOMPARE(early.stations.at(1).track.size(), 2);
    connection.close();
}

void TestReportReader::readsEveryBlock_data()
{
    readsWhatTheBridgeStored_data();
}

// More rows than a block holds, NULLs and all: every row is counted, each
// station's latest row stands, and a track that jumps and sent 0 0 is cut.
void TestReportReader::readsEveryBlock()
{
    QFETCH(QString, database);
    QTemporaryDir dir;
    const TestDatabase db = testDatabase(database, dir.filePath(QStringLiteral("keldan.db")));
    KELDAN_REQUIRE_DATABASE(db);
    recreateTables(db);
    OdbcConnection connection(QStringLiteral("Report"));
    connection.open(db.connectionString());
    constexpr int Rows = 1300;  // two full blocks of 512 and part of a third
    QStringList values;
    for (int i = 0; i < Rows; ++i) {
        const int station = i % 10;
        // A minute apart; station 9 goes to 0 0 at its 50th beacon and
        // jumps a continent at its 60th.
        double lat = 3000 + i / 10 * 0.5, lon = 600 + station;
        if (station == 9 && i / 10 == 50)
            lat = lon = 0;
        if (station == 9 && i / 10 == 60)
            lat = -2000;
        values << QStringLiteral("('K%1','%2',%3,%4,%5,%6,NULL,'/>',NULL)")
                      .arg(station)
                      .arg(dtstampText(1'000'000'000 + i / 10 * 60))
                      .arg(station == 9 ? 2 : 0)
                      .arg(lat, 0, 'f', 2)
                      .arg(lon, 0, 'f', 2)
                      .arg(i % 2);
        if (values.size() == 100 || i == Rows - 1) {
            connection.execute(QStringLiteral("insert into stations (callsign, dtstamp, type, lat, lon, heard_direct, "
                                              "radio_port, symbol, object_owner) values ")
                + values.join(QLatin1Char(',')));
            values.clear();
        }
    }
    const ReportData data = ReportReader(connection).read(ReportPeriod::parse(QStringLiteral("all"), QString(), 0));
    QCOMPARE(data.stationRows, Rows);
    QCOMPARE(data.skippedRows, 0);
    QCOMPARE(data.stations.size(), 10);
    for (const StationSummary &station : data.stations) {
        QCOMPARE(station.beacons, Rows / 10);
        QCOMPARE(station.lastHeard, 1'000'000'000 + (Rows / 10 - 1) * 60);
        QCOMPARE(station.radioPort, 0);  // NULL
        QCOMPARE(station.objectOwner, QString());
        QCOMPARE(station.symbol, QStringLiteral("/>"));
    }
    const StationSummary &mobile = data.stations.at(9);
    QCOMPARE(mobile.callsign, QStringLiteral("K9"));
    QVERIFY(qAbs(mobile.latitudeDeg - (3000 + (Rows / 10 - 1) * 0.5) / 60) < 1e-9);
    QCOMPARE(mobile.track.size(), Rows / 10 - 2);  // without 0 0 and the jump
    QVERIFY(!mobile.jumped && !mobile.noFix);
    connection.close();
}

QTEST_MAIN(TestReportReader)
#include "tst_reportreader.moc"

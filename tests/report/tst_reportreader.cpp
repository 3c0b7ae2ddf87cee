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
};

void TestReportReader::readsWhatTheBridgeStored_data()
{
    QTest::addColumn<QString>("database");
    for (const char *name : {"sqlite", "postgres", "mariadb"})
        QTest::addRow("%s", name) << QString::fromLatin1(name);
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

QTEST_MAIN(TestReportReader)
#include "tst_reportreader.moc"

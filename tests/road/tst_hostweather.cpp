#include "road/HostWeather.h"

#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(aprs::WeatherReport)

class TestHostWeather : public QObject
{
    Q_OBJECT
private slots:
    void dewpoint_data();
    void dewpoint();
    void windChill_data();
    void windChill();
    void readingsFromReport_data();
    void readingsFromReport();
};

void TestHostWeather::dewpoint_data()
{
    QTest::addColumn<double>("tempC");
    QTest::addColumn<double>("humidity");
    QTest::addColumn<double>("dewpointC");

    // Reference values of the Magnus formula with Sonntag's constants.
    QTest::addRow("saturated air: dew point is the temperature") << 20.0 << 100.0 << 20.0;
    QTest::addRow("25 degC at 50 percent") << 25.0 << 50.0 << 13.85;
    QTest::addRow("below freezing, -5 degC at 80 percent") << -5.0 << 80.0 << -7.92;
    QTest::addRow("dry heat, 30 degC at 10 percent") << 30.0 << 10.0 << -4.96;
}

void TestHostWeather::dewpoint()
{
    QFETCH(double, tempC);
    QFETCH(double, humidity);
    QFETCH(double, dewpointC);
    QVERIFY2(std::abs(HostWeather::dewpointC(tempC, humidity) - dewpointC) < 0.01,
        qPrintable(QString::number(HostWeather::dewpointC(tempC, humidity))));
}

void TestHostWeather::windChill_data()
{
    QTest::addColumn<double>("tempC");
    QTest::addColumn<double>("windMs");
    QTest::addColumn<double>("windChillC");

    // The published wind-chill table (Environment Canada) rounds these to
    // -18, -3 and -33.
    QTest::addRow("-10 degC, 20 km/h") << -10.0 << 20 / 3.6 << -17.86;
    QTest::addRow("0 degC, 10 km/h") << 0.0 << 10 / 3.6 << -3.31;
    QTest::addRow("-20 degC, 30 km/h") << -20.0 << 30 / 3.6 << -32.57;
    QTest::addRow("10 degC is still in range") << 10.0 << 4.9 / 3.6 << 9.79;
    QTest::addRow("above 10 degC: the temperature") << 10.5 << 20.0 << 10.5;
    QTest::addRow("4.8 km/h or less: the temperature") << -10.0 << 4.8 / 3.6 << -10.0;
    QTest::addRow("calm: the temperature") << -3.5 << 0.0 << -3.5;
}

void TestHostWeather::windChill()
{
    QFETCH(double, tempC);
    QFETCH(double, windMs);
    QFETCH(double, windChillC);
    QVERIFY2(std::abs(HostWeather::windChillC(tempC, windMs) - windChillC) < 0.01,
        qPrintable(QString::number(HostWeather::windChillC(tempC, windMs))));
}

void TestHostWeather::readingsFromReport_data()
{
    QTest::addColumn<aprs::WeatherReport>("report");
    QTest::addColumn<QList<float>>("readings");  // in WeatherRecord order

    aprs::WeatherReport full;
    full.pressureHpa = 1013.2;
    full.windDirectionDeg = 220;
    full.windGustMs = 9.5;
    full.tempC = -5;
    full.humidityPercent = 80;
    full.rainMidnightMm = 1.5;
    full.rain1hMm = 0.25;
    full.rain24hMm = 7.62;
    full.windSpeedMs = 20 / 3.6;
    QTest::addRow("every reading") << full
                                   << QList<float> {1013.2f, 220, float(HostWeather::windChillC(-5, 20 / 3.6)), 9.5f,
                                          float(HostWeather::dewpointC(-5, 80)), -5, 80, 1.5f, 0.25f, 7.62f,
                                          float(20 / 3.6)};

    aprs::WeatherReport tempOnly;
    tempOnly.tempC = 12.5;
    QTest::addRow("temperature only: no dew point, chill is the temperature")
        << tempOnly << QList<float> {0, 0, 12.5f, 0, 0, 12.5f, 0, 0, 0, 0, 0};

    aprs::WeatherReport noTemp;
    noTemp.humidityPercent = 55;
    noTemp.windSpeedMs = 3;
    noTemp.rain24hMm = 2;
    QTest::addRow("no temperature: no dew point and no chill")
        << noTemp << QList<float> {0, 0, 0, 0, 0, 0, 55, 0, 0, 2, 3};
}

void TestHostWeather::readingsFromReport()
{
    QFETCH(aprs::WeatherReport, report);
    QFETCH(QList<float>, readings);
    const WeatherReadings r = HostWeather::readingsFrom(report);
    const QList<float> got {r.pressure(), r.windDirection(), r.windChill(), r.windGust(), r.dewpoint(), r.temp(),
        r.humidity(), r.rainToday(), r.rainLastHour(), r.rain24Hours(), r.windSpeed()};
    QCOMPARE(got, readings);
}

QTEST_APPLESS_MAIN(TestHostWeather)
#include "tst_hostweather.moc"

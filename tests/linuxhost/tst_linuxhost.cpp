#include "linuxhost/LinuxHost.h"
#include "road/HostWeather.h"
#include "support/LogCapture.h"

#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <csignal>
#include <numbers>

namespace {

// Time stands still unless a test moves it.
class ManualClock : public HostClock
{
public:
    QDateTime local = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 1));
    qint64 steady = 5'000'000;
    QDateTime now() const override { return local; }
    qint64 steadyMs() const override { return steady; }
    void advanceMs(qint64 ms)
    {
        steady += ms;
        local = local.addMSecs(ms);
    }
};

// Our station for the distance column.
constexpr double StationLat = 49.0;
constexpr double StationLon = -72.0;

// Spherical law of cosines: a different road to the same great-circle distance.
double expectedDistanceKm(double latMinutes, double lonMinutes)
{
    constexpr double r = std::numbers::pi / 180.0;
    const double lat = latMinutes / 60.0 * r;
    const double lon = lonMinutes / 60.0 * r;
    const double c = std::sin(StationLat * r) * std::sin(lat)
        + std::cos(StationLat * r) * std::cos(lat) * std::cos(lon - StationLon * r);
    return 6371.0088 * std::acos(std::clamp(c, -1.0, 1.0));
}

// A weather record of another kind than the host's, as a caller might pass.
class ForeignWeather : public WeatherRecord
{
public:
    float pressure() const override { return -1; }
    float windDirection() const override { return -1; }
    float windChill() const override { return -1; }
    float windGust() const override { return -1; }
    float dewpoint() const override { return -1; }
    float temp() const override { return -1; }
    float humidity() const override { return -1; }
    float rainToday() const override { return -1; }
    float rainLastHour() const override { return -1; }
    float rain24Hours() const override { return -1; }
    float windSpeed() const override { return -1; }
};

}  // namespace

class TestLinuxHost : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void mapsBeacon_data();
    void mapsBeacon();
    void distanceIsZeroWithoutOurPosition();
    void timeZone_data();
    void timeZone();
    void routesByKind_data();
    void routesByKind();
    void dropsDuplicates_data();
    void dropsDuplicates();
    void duplicateWindowIsCapped();
    void remembersStatus();
    void forgetsStationsNotHeardForADay_data();
    void forgetsStationsNotHeardForADay();
    void weatherLookup();
    void weatherLookupFillsOrReplacesRecord();
    void addOnConnectedIsKept();
    void signalsRaiseClosingEvent_data();
    void signalsRaiseClosingEvent();
    void takesPacketsFromEveryFeed();
    void stopStoresWhatWaits_data();
    void stopStoresWhatWaits();
    void hearsWhileTheWindowIsBusy();
    void stopEndsTheProcessWhileTheWindowHangs();

private:
    HostSettings settings() const;
    void makeHost(const HostSettings &settings);
    void feed(const QByteArray &line, qint16 port = 0) { mHost->takePacket(line, port); }

    std::shared_ptr<ManualClock> mClock;
    std::unique_ptr<LinuxHost> mHost;
    QList<BeaconRecordRef> mBeacons;
};

HostSettings TestLinuxHost::settings() const
{
    HostSettings s;
    s.latitudeDeg = StationLat;
    s.longitudeDeg = StationLon;
    s.exclusions = CallsignPatternList::fromText(QStringLiteral("EXCL*, *-15"));
    return s;
}

void TestLinuxHost::makeHost(const HostSettings &s)
{
    mBeacons.clear();
    mClock = std::make_shared<ManualClock>();
    mHost = std::make_unique<LinuxHost>(s);
    mHost->setClock(mClock);
    connect(mHost.get(), &HostApplication::NotifyBeaconData, this,
        [this](BeaconRecordRef beacon) { mBeacons.append(beacon); });
}

void TestLinuxHost::init()
{
    makeHost(settings());
}

void TestLinuxHost::cleanup()
{
    mHost.reset();
    mBeacons.clear();
}

void TestLinuxHost::mapsBeacon_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<QString>("objectOwner");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("commentStart");
    QTest::addColumn<double>("latMinutes");
    QTest::addColumn<double>("lonMinutes");
    QTest::addColumn<bool>("heardDirect");
    QTest::addColumn<double>("speedKmh");
    QTest::addColumn<int>("course");
    QTest::addColumn<double>("heightMetres");
    QTest::addColumn<int>("stationType");
    QTest::addColumn<bool>("excluded");

    QTest::addRow("position with course, speed, altitude; radio port 0, heard direct")
        << QByteArray("N0CALL-9>APRS,WIDE2-1:!4903.50N/07201.75W>088/036/A=001234Hello") << 1 << "N0CALL-9"
        << ""
        << "/>"
        << "N0CALL-9>APRS,WIDE2-1 10:00:01"
        << "!4903.50N/07201.75W>088/036Hello" << 28 << 2943.5 << -4321.75 << true << 66.672 << 88 << 376.1232 << 2
        << false;
    QTest::addRow("digipeated on radio port 1")
        << QByteArray("N0CALL-9>APRS,WIDE1*,WIDE2-1:!4903.50N/07201.75W>088/036/A=001234Hello") << 2 << "N0CALL-9"
        << ""
        << "/>"
        << "N0CALL-9>APRS,WIDE1*,WIDE2-1 10:00:01"
        << "!4903.50N/07201.75W>088/036Hello" << 28 << 2943.5 << -4321.75 << false << 66.672 << 88 << 376.1232 << 2
        << false;
    QTest::addRow("APRS-IS keeps its q construct; a house is fixed")
        << QByteArray("N0CALL>APRS,WIDE1-1,qAR,IGATE:=5130.00N/00007.50W-House") << 0 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS,WIDE1-1,qAR,IGATE 10:00:01"
        << "=5130.00N/00007.50W-House" << 21 << 3090.0 << -7.5 << false << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("APRS-IS from a client: TCPIP*")
        << QByteArray("N0CALL>APRS,TCPIP*,qAC,T2TEST:=5130.00N/00007.50W-House") << 0 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS,TCPIP*,qAC,T2TEST 10:00:01"
        << "=5130.00N/00007.50W-House" << 21 << 3090.0 << -7.5 << false << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("text line without path is heard direct")
        << QByteArray("N0CALL>APRS:=5130.00N/00007.50W-House") << 0 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS 10:00:01"
        << "=5130.00N/00007.50W-House" << 21 << 3090.0 << -7.5 << true << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("compressed position, no comment")
        << QByteArray("N0CALL>APRS:!/5L!!<*e7>7P[") << 1 << "N0CALL"
        << ""
        << "/>"
        << "N0CALL>APRS 10:00:01"
        << "!/5L!!<*e7>7P[" << 15 << 2970.0 << -4365.000236 << true << 67.10168654 << 88 << 0.0 << 2 << false;
    QTest::addRow("Mic-E jeep: the comment starts after the Kenwood type byte")
        << QByteArray("N0CALL>T2SP0W,WIDE1-1:`(_fn\"Oj/]Comment") << 1 << "N0CALL"
        << ""
        << "/j"
        << "N0CALL>T2SP0W,WIDE1-1 10:00:01"
        << "`(_fn\"Oj/]Comment" << 11 << 2550.07 << -727.74 << true << 37.04 << 251 << 0.0 << 2 << false;
    // Heard on the air from a Yaesu FTM-400DR: its device code "_%" ends the
    // text. The stored comment is the decoder's, without the code. T2UR4X is
    // 42 52.48 N; 'c@&' 71 36.10 W; 'l#.' 800 knots and 718 degrees, that is
    // 0 knots and 318; '"5,}' 8281 + 20*91 + 11 - 10000 = 112 m.
    QTest::addRow("Mic-E: the stored comment leaves out the device code")
        << QByteArray("W1STJ-3>T2UR4X,WA1PLE-4,WIDE1*,WIDE2-1:`c@&l#.-/`\"5,}146.685MHz T100 -060 146.520 Simplex or "
                      "Voice Alert_%")
        << 0 << "W1STJ-3"
        << ""
        << "/-"
        << "W1STJ-3>T2UR4X,WA1PLE-4,WIDE1*,WIDE2-1 10:00:01"
        << "`c@&l#.-/`\"5,}146.685MHz T100 -060 146.520 Simplex or Voice Alert" << 15 << 2572.48 << -4296.1 << false
        << 0.0 << 318 << 112.0 << 2 << false;
    QTest::addRow("object: its name, owned by the source")
        << QByteArray("N0CALL>APRS:;LEADER   *092345z4903.50N/07201.75W>088/036") << 0 << "LEADER"
        << "N0CALL"
        << "/>"
        << "N0CALL>APRS 10:00:01"
        << ";LEADER   *092345z4903.50N/07201.75W>088/036" << 45 << 2943.5 << -4321.75 << true << 66.672 << 88 << 0.0
        << 2 << false;
    QTest::addRow("item with a blank in its name")
        << QByteArray("N0CALL>APRS:)AID #2!4903.50N/07201.75WA") << 0 << "AID #2"
        << "N0CALL"
        << "/A"
        << "N0CALL>APRS 10:00:01"
        << ")AID #2!4903.50N/07201.75WA" << 28 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("weather with position: wind is no course")
        << QByteArray("N0CALL>APRS:@092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW") << 0
        << "N0CALL"
        << ""
        << "/_"
        << "N0CALL>APRS 10:00:01"
        << "@092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW" << 68 << 2943.5 << -4321.75 << true
        << 0.0 << 0 << 0.0 << 1 << false;
    QTest::addRow("weather symbol without readings")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W_") << 0 << "N0CALL"
        << ""
        << "/_"
        << "N0CALL>APRS 10:00:01"
        << "!4903.50N/07201.75W_" << 21 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 1 << false;
    QTest::addRow("house that reports a movement is mobile")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-090/010") << 0 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS 10:00:01"
        << "!4903.50N/07201.75W-090/010" << 28 << 2943.5 << -4321.75 << true << 18.52 << 90 << 0.0 << 2 << false;
    QTest::addRow("house standing still at 000/000 stays fixed")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-000/000") << 0 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS 10:00:01"
        << "!4903.50N/07201.75W-000/000" << 28 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("car of the alternate table with an overlay")
        << QByteArray("N0CALL>APRS:!4903.50NS07201.75W>") << 0 << "N0CALL"
        << ""
        << "S>"
        << "N0CALL>APRS 10:00:01"
        << "!4903.50NS07201.75W>" << 21 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 2 << false;
    QTest::addRow("ship of the primary table")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75Ws") << 0 << "N0CALL"
        << ""
        << "/s"
        << "N0CALL>APRS 10:00:01"
        << "!4903.50N/07201.75Ws" << 21 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 2 << false;
    QTest::addRow("third-party packet: the station inside, not heard direct")
        << QByteArray("IGATE>APRS,WIDE1-1:}N0CALL>APRS,TCPIP,IGATE*:!4903.50N/07201.75W-third") << 1 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS,TCPIP,IGATE* 10:00:01"
        << "!4903.50N/07201.75W-third" << 21 << 2943.5 << -4321.75 << false << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("excluded by a prefix pattern")
        << QByteArray("EXCL-7>APRS:!4903.50N/07201.75W-") << 0 << "EXCL-7"
        << ""
        << "/-"
        << "EXCL-7>APRS 10:00:01"
        << "!4903.50N/07201.75W-" << 21 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << true;
    QTest::addRow("object excluded by its own name")
        << QByteArray("N0CALL>APRS:;EXCLUDED *092345z4903.50N/07201.75W-") << 0 << "EXCLUDED"
        << "N0CALL"
        << "/-"
        << "N0CALL>APRS 10:00:01"
        << ";EXCLUDED *092345z4903.50N/07201.75W-" << 38 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << true;
    QTest::addRow("text ends at a NUL byte, its comment with it")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-com\0ment", 40) << 0 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS 10:00:01"
        << "!4903.50N/07201.75W-com" << 21 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("NUL before the comment: the comment starts past the end")
        << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-\0comment", 40) << 0 << "N0CALL"
        << ""
        << "/-"
        << "N0CALL>APRS 10:00:01"
        << "!4903.50N/07201.75W-" << 21 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << false;
    QTest::addRow("excluded by a suffix pattern, lower case")
        << QByteArray("k1abc-15>APRS:!4903.50N/07201.75W-") << 0 << "k1abc-15"
        << ""
        << "/-"
        << "k1abc-15>APRS 10:00:01"
        << "!4903.50N/07201.75W-" << 21 << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << true;
}

void TestLinuxHost::mapsBeacon()
{
    QFETCH(QByteArray, line);
    QFETCH(int, port);
    QFETCH(QString, callsign);
    QFETCH(QString, objectOwner);
    QFETCH(QString, symbol);
    QFETCH(QString, header);
    QFETCH(QString, text);
    QFETCH(int, commentStart);
    QFETCH(double, latMinutes);
    QFETCH(double, lonMinutes);
    QFETCH(bool, heardDirect);
    QFETCH(double, speedKmh);
    QFETCH(int, course);
    QFETCH(double, heightMetres);
    QFETCH(int, stationType);
    QFETCH(bool, excluded);

    feed(line, qint16(port));
    QCOMPARE(mBeacons.size(), 1);
    QCOMPARE(mHost->counters().beacons, 1);
    const BeaconRecord &b = *mBeacons.first();
    QCOMPARE(b.callsign(), callsign);
    QCOMPARE(b.objectOwner(), objectOwner);
    QCOMPARE(b.symbolTable(), symbol.left(1));
    QCOMPARE(b.symbolCode(), symbol.mid(1));
    QCOMPARE(b.packetHeader(), header);
    QCOMPARE(b.packetText(), text);
    QCOMPARE(int(b.commentStart()), commentStart);
    QCOMPARE(b.statusText(), QString());
    QCOMPARE(b.latitude(), float(latMinutes));
    QCOMPARE(b.longitude(), float(lonMinutes));
    QCOMPARE(int(b.radioPort()), port);
    QCOMPARE(b.heardDirect(), toHostBool(heardDirect));
    QCOMPARE(b.speed(), float(speedKmh));
    QCOMPARE(int(b.course()), course);
    QCOMPARE(b.height(), float(heightMetres));
    QVERIFY2(std::abs(b.distance() - expectedDistanceKm(latMinutes, lonMinutes)) < 0.01,
        qPrintable(QString::number(b.distance())));
    QCOMPARE(b.timeA(), mClock->local);
    QCOMPARE(b.timeB(), mClock->local);
    QCOMPARE(int(b.stationType()), stationType);
    QCOMPARE(b.excluded(), toHostBool(excluded));

    // Captured at reception: later packets change nothing in this record.
    mClock->advanceMs(60'000);
    feed(QByteArrayLiteral("N0CALL>APRS:>new status"));
    QCOMPARE(b.statusText(), QString());
    QCOMPARE(b.timeA().time(), QTime(10, 0, 1));
}

void TestLinuxHost::timeZone_data()
{
    QTest::addColumn<int>("zone");
    QTest::addColumn<QDateTime>("expected");
    QTest::addColumn<QString>("headerTime");
    // The clock reads 12:00:01 two hours ahead of UTC, whatever zone runs the test.
    QTest::addRow("local: the clock's own time")
        << int(HostSettings::TimeZone::Local) << QDateTime(QDate(2026, 7, 1), QTime(12, 0, 1), Qt::OffsetFromUTC, 7200)
        << "12:00:01";
    QTest::addRow("UTC: every time in UTC")
        << int(HostSettings::TimeZone::Utc) << QDateTime(QDate(2026, 7, 1), QTime(10, 0, 1), Qt::UTC) << "10:00:01";
}

void TestLinuxHost::timeZone()
{
    QFETCH(int, zone);
    QFETCH(QDateTime, expected);
    QFETCH(QString, headerTime);
    HostSettings s = settings();
    s.timeZone = HostSettings::TimeZone(zone);
    makeHost(s);
    mClock->local = QDateTime(QDate(2026, 7, 1), QTime(12, 0, 1), Qt::OffsetFromUTC, 7200);
    feed("N0CALL>APRS,WIDE1-1:=5130.00N/00007.50W-House");
    QCOMPARE(mBeacons.size(), 1);
    const BeaconRecord &b = *mBeacons.first();
    // Compared field by field: QDateTime's == holds for the same instant in any zone.
    QCOMPARE(b.timeA().date(), expected.date());
    QCOMPARE(b.timeA().time(), expected.time());
    QCOMPARE(b.timeB().time(), expected.time());
    QCOMPARE(b.timeA().timeSpec(), expected.timeSpec());
    QCOMPARE(b.packetHeader(), QStringLiteral("N0CALL>APRS,WIDE1-1 ") + headerTime);
}

void TestLinuxHost::distanceIsZeroWithoutOurPosition()
{
    makeHost(HostSettings());
    feed("N0CALL>APRS:=5130.00N/00007.50W-House");
    QCOMPARE(mBeacons.size(), 1);
    QCOMPARE(mBeacons.first()->distance(), 0.0f);
}

void TestLinuxHost::routesByKind_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("counter");

    QTest::addRow("position") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-") << "beacons";
    QTest::addRow("status") << QByteArray("N0CALL>APRS:>Net Control Center") << "remembered";
    QTest::addRow("position-less weather")
        << QByteArray("N0CALL>APRS:_10090556c220s004g005t077r000p000P000h50b09900wRSW") << "remembered";
    QTest::addRow("message") << QByteArray("N0CALL>APRS::N1CALL   :hello{1") << "dropped";
    QTest::addRow("bulletin") << QByteArray("N0CALL>APRS::BLN1     :Net tonight at 8") << "dropped";
    QTest::addRow("telemetry") << QByteArray("N0CALL>APRS:T#005,199,000,255,073,123,01101001") << "dropped";
    QTest::addRow("killed object") << QByteArray("N0CALL>APRS:;LEADER   _092345z4903.50N/07201.75W>088/036")
                                   << "dropped";
    QTest::addRow("killed item") << QByteArray("N0CALL>APRS:)AID #2_4903.50N/07201.75WA") << "dropped";
    QTest::addRow("undecodable position") << QByteArray("N0CALL>APRS:!4903.50X/07201.75W-") << "rejected";
    QTest::addRow("no header") << QByteArray("just some text") << "rejected";
    QTest::addRow("empty information") << QByteArray("N0CALL>APRS:") << "rejected";
}

void TestLinuxHost::routesByKind()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, counter);

    feed(line);
    const HostCounters &c = mHost->counters();
    const QMap<QString, qint64> counts {{"beacons", c.beacons}, {"duplicates", c.duplicates},
        {"remembered", c.remembered}, {"dropped", c.dropped}, {"rejected", c.rejected}};
    QCOMPARE(c.received, 1);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        QCOMPARE(std::pair(it.key(), it.value()), std::pair(it.key(), qint64(it.key() == counter ? 1 : 0)));
    QCOMPARE(mBeacons.size(), counter == QLatin1String("beacons") ? 1 : 0);
}

void TestLinuxHost::dropsDuplicates_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<int>("msBetween");
    QTest::addColumn<bool>("secondIsBeacon");

    const QByteArray direct("N0CALL>APRS,WIDE2-2:!4903.50N/07201.75W-PHG2360");
    QTest::addRow("same packet at once") << direct << direct << 0 << false;
    QTest::addRow("digipeated copy 2 s later")
        << direct << QByteArray("N0CALL>APRS,DIGI1*,WIDE2-1:!4903.50N/07201.75W-PHG2360") << 2000 << false;
    QTest::addRow("another igate's copy")
        << QByteArray("N0CALL>APRS,WIDE2-2,qAR,IGATE1:!4903.50N/07201.75W-PHG2360")
        << QByteArray("N0CALL>APRS,WIDE1*,WIDE2-1,qAR,IGATE2:!4903.50N/07201.75W-PHG2360") << 29'999 << false;
    QTest::addRow("30 s later is a new beacon") << direct << direct << 30'000 << true;
    QTest::addRow("other information field")
        << direct << QByteArray("N0CALL>APRS,WIDE2-2:!4903.50N/07201.75W-PHG2361") << 0 << true;
    QTest::addRow("other destination") << direct << QByteArray("N0CALL>APZ001,WIDE2-2:!4903.50N/07201.75W-PHG2360") << 0
                                       << true;
    QTest::addRow("other source") << direct << QByteArray("N0CALL-1>APRS,WIDE2-2:!4903.50N/07201.75W-PHG2360") << 0
                                  << true;
}

void TestLinuxHost::dropsDuplicates()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(int, msBetween);
    QFETCH(bool, secondIsBeacon);

    feed(first, 1);
    mClock->advanceMs(msBetween);
    feed(second, 1);
    QCOMPARE(mBeacons.size(), secondIsBeacon ? 2 : 1);
    QCOMPARE(mHost->counters().duplicates, secondIsBeacon ? 0 : 1);
    QCOMPARE(mHost->counters().received, 2);
}

void TestLinuxHost::duplicateWindowIsCapped()
{
    const QByteArray first("N0CALL>APRS:>first");
    feed(first);
    for (int i = 0; i < DuplicateFilter::MaxKeys; ++i)
        feed("N0CALL>APRS:>" + QByteArray::number(i));
    QCOMPARE(mHost->counters().duplicates, 0);
    // Within 30 s, but the window holds only the latest MaxKeys packets.
    feed(first);
    QCOMPARE(mHost->counters().duplicates, 0);
    feed("N0CALL>APRS:>" + QByteArray::number(DuplicateFilter::MaxKeys - 1));
    QCOMPARE(mHost->counters().duplicates, 1);
}

void TestLinuxHost::forgetsStationsNotHeardForADay_data()
{
    QTest::addColumn<QByteArray>("meanwhile");
    QTest::addColumn<bool>("kept");
    const QByteArray other("N1CALL>APRS:!4903.50N/07201.75W-");
    QTest::addRow("silent for a day: forgotten") << other << false;
    QTest::addRow("a message a few hours ago: kept") << QByteArray("N0CALL>APRS::N1CALL   :hello") << true;
    QTest::addRow("a position a few hours ago: kept") << QByteArray("N0CALL>APRS:!4903.50N/07201.75W-moved") << true;
}

void TestLinuxHost::forgetsStationsNotHeardForADay()
{
    QFETCH(QByteArray, meanwhile);
    QFETCH(bool, kept);
    const qint64 dayMs = StationMemory<QString>::MaxAgeMs;
    feed("N0CALL>APRS:>Net Control Center");
    feed("N0CALL>APRS:_10090556c220s004g005t077r000p000P000h50b09900wRSW");
    mClock->advanceMs(dayMs - 3 * 3600'000);
    feed(meanwhile);
    mClock->advanceMs(3 * 3600'000);
    feed("N0CALL>APRS:!4903.50N/07201.75W_");
    QCOMPARE(mBeacons.last()->statusText(), kept ? QStringLiteral("Net Control Center") : QString());
    QString callsign = QStringLiteral("N0CALL");
    WeatherRecordRef record = std::make_shared<WeatherReadings>();
    QCOMPARE(mHost->lookupWeather(callsign, record), kept ? HostTrue : HostFalse);
}

void TestLinuxHost::remembersStatus()
{
    feed("N0CALL>APRS:!4903.50N/07201.75W-");
    feed("N0CALL>APRS:>Net Control Center");
    mClock->advanceMs(1000);
    feed("N0CALL>APRS:!4903.50N/07201.75W-second");
    feed("N0CALL>APRS:>092345zAway until 18:00");
    feed("N0CALL>APRS:!4903.50N/07201.75W-third");
    feed("N1CALL>APRS:!4903.50N/07201.75W-");
    // A status with a NUL byte is kept up to it, as a host of C strings keeps it.
    feed(QByteArray("N2CALL>APRS:>Net\0'); --", 23));
    feed("N2CALL>APRS:!4903.50N/07201.75W-");
    QCOMPARE(mBeacons.size(), 5);
    QCOMPARE(mBeacons.at(4)->statusText(), QStringLiteral("Net"));
    QCOMPARE(mBeacons.at(0)->statusText(), QString());
    QCOMPARE(mBeacons.at(1)->statusText(), QStringLiteral("Net Control Center"));
    QCOMPARE(mBeacons.at(2)->statusText(), QStringLiteral("Away until 18:00"));
    QCOMPARE(mBeacons.at(3)->statusText(), QString());
    QCOMPARE(mHost->counters().remembered, 3);
}

void TestLinuxHost::weatherLookup()
{
    WeatherRecordRef record = std::make_shared<WeatherReadings>();
    QString callsign = QStringLiteral("N0CALL");
    QCOMPARE(mHost->lookupWeather(callsign, record), HostFalse);

    // Position-less weather, then the station's position beacon.
    feed("N0CALL>APRS:_10090556c220s020g025t023r010p030P020h80b10132wRSW");
    feed("N0CALL>APRS:!4903.50N/07201.75W_");
    QCOMPARE(mBeacons.size(), 1);
    QCOMPARE(mBeacons.first()->stationType(), StationType::Weather);
    QCOMPARE(mHost->lookupWeather(callsign, record), HostTrue);
    const double tempC = (23 - 32) / 1.8;
    const double windMs = 20 * 0.44704;
    QCOMPARE(record->temp(), float(tempC));
    QCOMPARE(record->humidity(), 80.0f);
    QCOMPARE(record->pressure(), 1013.2f);
    QCOMPARE(record->windDirection(), 220.0f);
    QCOMPARE(record->windSpeed(), float(windMs));
    QCOMPARE(record->windGust(), float(25 * 0.44704));
    QCOMPARE(record->rainLastHour(), float(10 * 0.254));
    QCOMPARE(record->rain24Hours(), float(30 * 0.254));
    QCOMPARE(record->rainToday(), float(20 * 0.254));
    QVERIFY(std::abs(record->dewpoint() - HostWeather::dewpointC(tempC, 80)) < 0.001);
    // -5 degC in 32 km/h of wind feels like -13.3 degC.
    QVERIFY2(std::abs(record->windChill() - -13.26) < 0.01, qPrintable(QString::number(record->windChill())));

    // The report in the current packet counts; readings it lacks are 0.
    feed("N0CALL>APRS:@092345z4903.50N/07201.75W_090/005t050");
    QCOMPARE(mHost->lookupWeather(callsign, record), HostTrue);
    QCOMPARE(record->temp(), float(10.0));
    QCOMPARE(record->windDirection(), 90.0f);
    QCOMPARE(record->humidity(), 0.0f);
    QCOMPARE(record->pressure(), 0.0f);
    QCOMPARE(record->dewpoint(), 0.0f);
    QCOMPARE(record->rainToday(), 0.0f);

    // A weather object is looked up by its name.
    feed("N0CALL>APRS:;WXSTN    *092345z4903.50N/07201.75W_180/010t041");
    QString object = QStringLiteral("WXSTN");
    QCOMPARE(mHost->lookupWeather(object, record), HostTrue);
    QCOMPARE(record->temp(), float(5.0));
    QString other = QStringLiteral("N1CALL");
    QCOMPARE(mHost->lookupWeather(other, record), HostFalse);
}

void TestLinuxHost::weatherLookupFillsOrReplacesRecord()
{
    feed("N0CALL>APRS:_10090556c220s004g005t077r000p000P000h50b09900wRSW");
    QString callsign = QStringLiteral("N0CALL");

    auto own = std::make_shared<WeatherReadings>();
    WeatherRecordRef record = own;
    QCOMPARE(mHost->lookupWeather(callsign, record), HostTrue);
    QCOMPARE(record.get(), own.get());
    QCOMPARE(own->temp(), 25.0f);

    record = std::make_shared<ForeignWeather>();
    QCOMPARE(mHost->lookupWeather(callsign, record), HostTrue);
    QVERIFY(dynamic_cast<WeatherReadings *>(record.get()));
    QCOMPARE(record->temp(), 25.0f);
    QCOMPARE(record->pressure(), 990.0f);

    // An unknown station leaves the record as it was.
    QString unknown = QStringLiteral("N9XYZ");
    auto foreign = std::make_shared<ForeignWeather>();
    record = foreign;
    QCOMPARE(mHost->lookupWeather(unknown, record), HostFalse);
    QCOMPARE(record.get(), foreign.get());
}

void TestLinuxHost::addOnConnectedIsKept()
{
    QCOMPARE(mHost->addOnConnected(), HostFalse);
    mHost->setAddOnConnected(HostTrue);
    QCOMPARE(mHost->addOnConnected(), HostTrue);
    mHost->setAddOnConnected(HostFalse);
    QCOMPARE(mHost->addOnConnected(), HostFalse);
}

void TestLinuxHost::signalsRaiseClosingEvent_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addRow("SIGTERM") << int(SIGTERM);
    QTest::addRow("SIGINT") << int(SIGINT);
    QTest::addRow("SIGHUP") << int(SIGHUP);
}

void TestLinuxHost::signalsRaiseClosingEvent()
{
    QFETCH(int, signalNumber);
    mHost->watchTerminationSignals();
    QSignalSpy closing(mHost.get(), &HostApplication::UIView32IsClosing);
    QCOMPARE(::raise(signalNumber), 0);
    QTRY_COMPARE(closing.size(), 1);
    QVERIFY(mBeacons.isEmpty());
}

// The host listens to every source it is given, whatever kind, through one
// duplicate filter, and tells the radio ports of its feeds apart.
void TestLinuxHost::takesPacketsFromEveryFeed()
{
    class ScriptedSource : public PacketSource
    {
    public:
        void start() override { }
        void stop() override { }
        QString describe() const override { return QStringLiteral("SCRIPT"); }
        void hear(const QByteArray &line, qint16 radioPort) { emit packetReceived(line, radioPort); }
    };
    const QByteArray position("N0CALL>APRS,WIDE1*:!4903.50N/07201.75W-");
    QList<QPointer<ScriptedSource>> sources;
    for (const int feedNumber : {1, 2, 3}) {
        auto source = std::make_unique<ScriptedSource>();
        sources << source.get();
        mHost->attachSource(std::move(source), feedNumber);
    }
    QCOMPARE(mHost->sources().size(), size_t(3));
    QCOMPARE(mHost->source(), sources.first().data());

    sources[0]->hear(position, 1);
    // The same packet from APRS-IS a moment later, through another igate.
    mClock->advanceMs(1500);
    sources[1]->hear("N0CALL>APRS,WIDE1*,qAR,IGATE:!4903.50N/07201.75W-", 0);
    sources[2]->hear("N1CALL>APRS:!4903.50N/07201.75W-", 3);
    sources[1]->hear("N2CALL>APRS,TCPIP*,qAC,T2TEST:!4903.50N/07201.75W-", 0);
    sources[0]->hear("N3CALL>APRS:!4903.50N/07201.75W-", 16);

    QCOMPARE(mHost->counters().received, 5);
    QCOMPARE(mHost->counters().duplicates, 1);
    QCOMPARE(mBeacons.size(), 4);
    QCOMPARE(mBeacons.at(0)->callsign(), QStringLiteral("N0CALL"));
    QCOMPARE(mBeacons.at(0)->radioPort(), 1);
    QCOMPARE(mBeacons.at(0)->heardDirect(), HostFalse);
    QCOMPARE(mBeacons.at(1)->radioPort(), 203);
    QCOMPARE(mBeacons.at(2)->radioPort(), 0);
    QCOMPARE(mBeacons.at(3)->radioPort(), 16);

    mHost.reset();
    for (const QPointer<ScriptedSource> &source : sources)
        QVERIFY(source.isNull());
}

void TestLinuxHost::stopStoresWhatWaits_data()
{
    QTest::addColumn<int>("drainMs");
    QTest::addColumn<bool>("queueEmpties");
    QTest::addRow("the queue empties: closed then") << 600'000 << true;
    QTest::addRow("the queue never empties: closed at the limit") << 50 << false;
}

// A termination signal stops the feed at once; the closing event waits for
// the bridge's queue, at most the drain time.
void TestLinuxHost::stopStoresWhatWaits()
{
    QFETCH(int, drainMs);
    QFETCH(bool, queueEmpties);
    class CountingSource : public PacketSource
    {
    public:
        void start() override { }
        void stop() override { ++stops; }
        QString describe() const override { return QStringLiteral("SCRIPT"); }
        int stops = 0;
    };
    auto source = std::make_unique<CountingSource>();
    CountingSource *feed = source.get();
    mHost->attachSource(std::move(source));
    mHost->setBeaconsWaiting(3);
    mHost->setStopDrainMs(drainMs);
    QSignalSpy closing(mHost.get(), &HostApplication::UIView32IsClosing);

    mHost->watchTerminationSignals();
    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_VERIFY(mHost->isStopping());
    QCOMPARE(feed->stops, 1);
    QTest::qWait(20);
    if (queueEmpties) {
        QCOMPARE(closing.size(), 0);
        mHost->setBeaconsWaiting(0);
    }
    QTRY_COMPARE(closing.size(), 1);
    // Once only, whatever asks again.
    mHost->requestStop();
    QTest::qWait(50);
    QCOMPARE(closing.size(), 1);
    QCOMPARE(feed->stops, 1);
}

// On its own thread the host hears, decodes and stamps while the window's
// thread is held (by a statement that hangs): the beacons are raised then,
// and reach the window queued once it is free.
void TestLinuxHost::hearsWhileTheWindowIsBusy()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile log(dir.filePath(QStringLiteral("heard.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("N0CALL>APRS:!5130.00N/00100.00E-\nN1CALL>APRS:!5130.00N/00100.00E>\n");
    log.close();

    HostSettings withLog = settings();
    withLog.feeds.first().kind = FeedSettings::Kind::Log;
    withLog.feeds.first().path = log.fileName();
    withLog.replayRate = 1000;
    QMutex lock;
    QList<QThread *> raisedOn;
    connect(
        mHost.get(), &HostApplication::NotifyBeaconData, this,
        [&](BeaconRecordRef) {
            QMutexLocker locked(&lock);
            raisedOn << QThread::currentThread();
        },
        Qt::DirectConnection);
    mHost->runOnOwnThread();
    QVERIFY(mHost->runsOnOwnThread());
    mHost->attachFeeds(withLog);
    QCOMPARE(mHost->sources().size(), size_t(1));
    mHost->start();
    // start() waits for this thread's event loop, as a window's start-up does.
    QCoreApplication::processEvents();
    QThread::msleep(3000);
    {
        QMutexLocker locked(&lock);
        QCOMPARE(raisedOn.size(), 2);
        QVERIFY(raisedOn.first() != QThread::currentThread());
    }
    QCOMPARE(mBeacons.size(), 0);
    QTRY_COMPARE(mBeacons.size(), 2);
    QCOMPARE(mHost->counters().beacons, 2);
    QCOMPARE(mBeacons.at(1)->callsign(), QStringLiteral("N1CALL"));
    // Back on this thread for its end.
    mHost.reset();
}

// The window's thread hangs in a statement past the drain limit: the host
// raises the closing event, and once the grace is up ends the process itself.
void TestLinuxHost::stopEndsTheProcessWhileTheWindowHangs()
{
    LogCapture log;
    std::atomic<int> ends = 0;
    mHost->setStopDrainMs(100);
    mHost->setExitGraceMs(200);
    mHost->setEndProcess([&ends] { ++ends; });
    mHost->setBeaconsWaiting(3);
    QSignalSpy closing(mHost.get(), &HostApplication::UIView32IsClosing);
    mHost->runOnOwnThread();
    mHost->requestStop();
    QThread::msleep(3000);
    QCOMPARE(ends.load(), 1);
    QTRY_COMPARE(closing.size(), 1);
    QVERIFY2(log.messages().contains(QStringLiteral("ending: the window did not close within 0.2 s of the closing "
                                                    "event (a statement hangs); 3 beacons left unstored")),
        qPrintable(log.messages().join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestLinuxHost)
#include "tst_linuxhost.moc"

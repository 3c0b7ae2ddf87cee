#include "support/DireWolfRig.h"
#include "support/LogCapture.h"

#include "app/ErrorReport.h"
#include "app/Form1.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/feeds/AgwSource.h"
#include "linuxhost/feeds/KissTcpSource.h"

#include "TestDatabases.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

// The whole bridge on a real radio path, in one run of Dire Wolf: gen_packets
// makes AFSK audio, Dire Wolf demodulates it and serves it over KISS and AGW.
// The main window's Linux host takes the KISS port, decodes the frames and
// the window queues, drains and stores them in SQLite; a second Linux host on
// the AGW port must turn the same packets into the same beacons.
class TestDireWolfBridge : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPacketArrives();
    void arrivesAsBeacon_data();
    void arrivesAsBeacon();
    void everyBeaconHasItsStationsRow();
    void detailRows_data();
    void detailRows();

private:
    struct Expected {
        QByteArray line;
        bool beacon;
    };
    static QList<Expected> traffic();
    static const BeaconRecord *beaconOf(const QList<BeaconRecordRef> &beacons, const QString &callsign);
    QList<QStringList> rows(const QString &select) const { return queryRows(mDb, select); }

    std::unique_ptr<LogCapture> mLog;
    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<DireWolfRig> mRig;
    std::unique_ptr<Form1> mWindow;
    LinuxHost *mHost = nullptr;
    std::unique_ptr<LinuxHost> mAgwHost;
    TestDatabase mDb;
    QList<ErrorReport> mFatal;
    QList<BeaconRecordRef> mBeacons;
    QList<BeaconRecordRef> mAgwBeacons;
};

QList<TestDireWolfBridge::Expected> TestDireWolfBridge::traffic()
{
    // The status comes before its station's position, so that the fixed row
    // carries it.
    return {
        {"N0CALL-9>APRS,WIDE1-1:!4903.50N/07201.75W>088/036/A=001234Mobile", true},
        {"N1CALL>APRS,WIDE2-1:>Net Control", false},
        {"N1CALL>APRS,DIGI1*,WIDE2-1:=5130.00N/00007.50W-House", true},
        {"N2CALL-7>T2SP0W,WIDE1-1:`(_fn\"Oj/]Jeep", true},
        {"N3CALL>APRS:;LEADER   *092345z4903.50N/07201.75W>088/036", true},
        {"N4CALL>APRS:)AID #2!4903.50N/07201.75WA", true},
        {"N5CALL>APRS:@092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW", true},
        {"N6CALL>APRS:!/5L!!<*e7>7P[", true},
        {"N7CALL>APRS::N0CALL-9 :see you at the net{01", false},
    };
}

void TestDireWolfBridge::initTestCase()
{
    const QString network = DireWolfRig::networkProblem();
    if (!network.isEmpty())
        QFAIL(qPrintable(network));

    mLog = std::make_unique<LogCapture>();
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mDb = testDatabase(QStringLiteral("sqlite"), mDir->filePath(QStringLiteral("radio.sqlite")));
    recreateTables(mDb);
    QFile ini(mDir->filePath(QStringLiteral("keldan.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("DATABASE=" + mDb.database.toUtf8() + "\r\n");
    ini.close();

    mRig = std::make_unique<DireWolfRig>(mDir->path());
    QList<QByteArray> lines;
    for (const Expected &e : traffic())
        lines << e.line;
    QString error;
    QVERIFY2(mRig->makeAudio(lines, &error), qPrintable(error));
    constexpr quint16 KissPort = KissTcpSource::DefaultPort;
    constexpr quint16 AgwPort = AgwSource::DefaultPort;
    QVERIFY2(mRig->start(KissPort, &error, AgwPort), qPrintable(error));

    HostSettings settings;
    settings.latitudeDeg = 49.0;
    settings.longitudeDeg = -72.0;

    // The window's host reads its one feed from the default settings: KISS on
    // 127.0.0.1:8001.
    Form1Options options;
    options.programFolder = mDir->path();
    options.createHost = [this, settings] {
        auto host = std::make_unique<LinuxHost>(settings);
        host->attachFeeds(settings);
        connect(host.get(), &HostApplication::NotifyBeaconData, this,
            [this](BeaconRecordRef beacon) { mBeacons << beacon; });
        host->start();
        mHost = host.get();
        return host;
    };
    options.endProcess = [] {};
    options.fatalError = [this](std::exception_ptr failure) { mFatal << ErrorReport::from(failure); };
    mWindow = std::make_unique<Form1>(options);
    mWindow->Form_Load();
    QCOMPARE(
        mWindow->findChild<QLabel *>(QStringLiteral("status"))->text(), QStringLiteral("Connected: sa@myodbc3-test"));

    mAgwHost = std::make_unique<LinuxHost>(settings);
    auto agwSource = std::make_unique<AgwSource>(QStringLiteral("127.0.0.1"), AgwPort);
    AgwSource *agw = agwSource.get();
    mAgwHost->attachSource(std::move(agwSource));
    connect(mAgwHost.get(), &HostApplication::NotifyBeaconData, this,
        [this](BeaconRecordRef beacon) { mAgwBeacons << beacon; });
    mAgwHost->start();

    auto *kiss = qobject_cast<KissTcpSource *>(mHost->source());
    QVERIFY(kiss);
    // Connected before the audio starts, or the first frames go to nobody;
    // an AGW client gets raw frames only once its request has been read.
    QTRY_VERIFY_WITH_TIMEOUT(kiss->isLinkUp(), 10'000);
    QTRY_VERIFY_WITH_TIMEOUT(agw->isMonitoring(), 10'000);

    mRig->play();
    qsizetype wanted = 0;
    for (const Expected &e : traffic())
        wanted += e.beacon ? 1 : 0;
    for (LinuxHost *host : {mHost, mAgwHost.get()}) {
        QTRY_VERIFY2_WITH_TIMEOUT(host->counters().received >= traffic().size(),
            qPrintable(QStringLiteral("%1 of %2 packets came through %3; we said:\n%4\n"
                                      "Dire Wolf said:\n%5")
                           .arg(host->counters().received)
                           .arg(traffic().size())
                           .arg(host->source()->describe(), mLog->messages().join(QLatin1Char('\n')), mRig->output())),
            60'000);
    }
    QCOMPARE(mBeacons.size(), wanted);
    QCOMPARE(mAgwBeacons.size(), wanted);
    QTRY_COMPARE(mWindow->queue().queueCount(), qint16(0));
    QVERIFY(mFatal.isEmpty());
}

void TestDireWolfBridge::cleanupTestCase()
{
    mWindow.reset();
    mAgwHost.reset();
    if (mRig)
        mRig->stop();
    mRig.reset();
    mLog.reset();
}

void TestDireWolfBridge::everyPacketArrives()
{
    for (LinuxHost *host : {mHost, mAgwHost.get()}) {
        const HostCounters &c = host->counters();
        QCOMPARE(c.received, qint64(traffic().size()));
        QCOMPARE(c.beacons, 7);
        QCOMPARE(c.remembered, 1);
        QCOMPARE(c.dropped, 1);
        QCOMPARE(c.rejected, 0);
        QCOMPARE(c.duplicates, 0);
    }
    QVERIFY(mLog->messages().contains(QStringLiteral("KISS 127.0.0.1:8001 connected")));
    QVERIFY(mLog->messages().contains(QStringLiteral("AGW 127.0.0.1:8000 connected")));
}

const BeaconRecord *TestDireWolfBridge::beaconOf(const QList<BeaconRecordRef> &beacons, const QString &callsign)
{
    for (const BeaconRecordRef &beacon : beacons) {
        if (beacon->callsign() == callsign)
            return beacon.get();
    }
    return nullptr;
}

void TestDireWolfBridge::arrivesAsBeacon_data()
{
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("headerPath");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("latMinutes");
    QTest::addColumn<double>("lonMinutes");
    QTest::addColumn<bool>("heardDirect");
    QTest::addColumn<double>("speedKmh");
    QTest::addColumn<int>("course");
    QTest::addColumn<double>("heightMetres");
    QTest::addColumn<int>("stationType");
    QTest::addColumn<QString>("status");

    QTest::addRow("mobile position") << "N0CALL-9"
                                     << ""
                                     << "/>"
                                     << "N0CALL-9>APRS,WIDE1-1"
                                     << "!4903.50N/07201.75W>088/036Mobile" << 2943.5 << -4321.75 << true << 66.672
                                     << 88 << 376.1232 << 2 << "";
    QTest::addRow("digipeated house with a status")
        << "N1CALL"
        << ""
        << "/-"
        << "N1CALL>APRS,DIGI1*,WIDE2-1"
        << "=5130.00N/00007.50W-House" << 3090.0 << -7.5 << false << 0.0 << 0 << 0.0 << 0 << "Net Control";
    QTest::addRow("Mic-E") << "N2CALL-7"
                           << ""
                           << "/j"
                           << "N2CALL-7>T2SP0W,WIDE1-1"
                           << "`(_fn\"Oj/]Jeep" << 2550.07 << -727.74 << true << 37.04 << 251 << 0.0 << 2 << "";
    QTest::addRow("object") << "LEADER"
                            << "N3CALL"
                            << "/>"
                            << "N3CALL>APRS"
                            << ";LEADER   *092345z4903.50N/07201.75W>088/036" << 2943.5 << -4321.75 << true << 66.672
                            << 88 << 0.0 << 2 << "";
    QTest::addRow("item") << "AID #2"
                          << "N4CALL"
                          << "/A"
                          << "N4CALL>APRS"
                          << ")AID #2!4903.50N/07201.75WA" << 2943.5 << -4321.75 << true << 0.0 << 0 << 0.0 << 0 << "";
    QTest::addRow("weather station") << "N5CALL"
                                     << ""
                                     << "/_"
                                     << "N5CALL>APRS"
                                     << "@092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW" << 2943.5
                                     << -4321.75 << true << 0.0 << 0 << 0.0 << 1 << "";
    QTest::addRow("compressed") << "N6CALL"
                                << ""
                                << "/>"
                                << "N6CALL>APRS"
                                << "!/5L!!<*e7>7P[" << 2970.0 << -4365.000236 << true << 67.10168654 << 88 << 0.0 << 2
                                << "";
}

void TestDireWolfBridge::arrivesAsBeacon()
{
    QFETCH(QString, callsign);
    QFETCH(QString, owner);
    QFETCH(QString, symbol);
    QFETCH(QString, headerPath);
    QFETCH(QString, text);
    QFETCH(double, latMinutes);
    QFETCH(double, lonMinutes);
    QFETCH(bool, heardDirect);
    QFETCH(double, speedKmh);
    QFETCH(int, course);
    QFETCH(double, heightMetres);
    QFETCH(int, stationType);
    QFETCH(QString, status);

    for (const QList<BeaconRecordRef> *beacons : {&mBeacons, &mAgwBeacons}) {
        const BeaconRecord *b = beaconOf(*beacons, callsign);
        QVERIFY2(b,
            qPrintable(callsign + QStringLiteral(" did not arrive through ")
                + (beacons == &mBeacons ? QStringLiteral("KISS") : QStringLiteral("AGW"))));
        QCOMPARE(b->objectOwner(), owner);
        QCOMPARE(b->symbolTable() + b->symbolCode(), symbol);
        QVERIFY2(b->packetHeader().startsWith(headerPath + QLatin1Char(' ')), qPrintable(b->packetHeader()));
        QCOMPARE(b->packetHeader().size(), headerPath.size() + 9);
        QCOMPARE(b->packetText(), text);
        QCOMPARE(b->latitude(), float(latMinutes));
        QCOMPARE(b->longitude(), float(lonMinutes));
        QCOMPARE(int(b->radioPort()), 1);
        QCOMPARE(b->heardDirect(), toHostBool(heardDirect));
        QCOMPARE(b->speed(), float(speedKmh));
        QCOMPARE(int(b->course()), course);
        QCOMPARE(b->height(), float(heightMetres));
        QVERIFY(b->distance() > 0);
        QCOMPARE(int(b->stationType()), stationType);
        QCOMPARE(b->statusText(), status);
        QCOMPARE(b->excluded(), HostFalse);
        QVERIFY(b->timeA().isValid());
        QCOMPARE(b->timeA(), b->timeB());
    }
}

void TestDireWolfBridge::everyBeaconHasItsStationsRow()
{
    const QList<QStringList> stations = rows(QStringLiteral(
        "select callsign, type, heard_direct, radio_port, symbol, object_owner from stations order by callsign"));
    QCOMPARE(stations,
        (QList<QStringList> {
            {"AID #2", "0", "1", "1", "/A", "N4CALL"},
            {"LEADER", "2", "1", "1", "/>", "N3CALL"},
            {"N0CALL-9", "2", "1", "1", "/>", ""},
            {"N1CALL", "0", "0", "1", "/-", ""},
            {"N2CALL-7", "2", "1", "1", "/j", ""},
            {"N5CALL", "1", "1", "1", "/_", ""},
            {"N6CALL", "2", "1", "1", "/>", ""},
        }));
    // The last beacon is on show; nothing is left on the status line.
    QCOMPARE(mWindow->findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), QStringLiteral("N6CALL"));
    QCOMPARE(mWindow->findChild<QLineEdit *>(QStringLiteral("Text2"))->text(), QStringLiteral("49.30.00N"));
    QCOMPARE(mWindow->findChild<QLabel *>(QStringLiteral("status"))->text(), QString());
}

void TestDireWolfBridge::detailRows_data()
{
    QTest::addColumn<QString>("select");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("fixed station with its status and digipeated path")
        << "select fk_callsign, status, comment, path from fixed_data where fk_callsign = 'N1CALL'"
        << QStringList {"N1CALL", "Net Control", "House", "APRS,DIGI1*,WIDE2-1"};
    QTest::addRow("mobile station: 36 knots, 1234 feet")
        << "select fk_callsign, round(speed, 2), round(height, 2), course, path from mobile_data where fk_callsign = "
           "'N0CALL-9'"
        << QStringList {"N0CALL-9", "66.67", "376.12", "88", "APRS,WIDE1-1"};
    QTest::addRow("object") << "select fk_callsign, course from mobile_data where fk_callsign = 'LEADER'"
                            << QStringList {"LEADER", "88"};
    QTest::addRow("weather in metric units")
        << "select fk_callsign, temp, humidity, pressure, wind_direction from wx_data"
        << QStringList {"N5CALL", "25.0", "50.0", "990.0", "220.0"};
    QTest::addRow("detail row keyed like its stations row") << "select count(*) from stations s join mobile_data m on "
                                                               "m.fk_callsign = s.callsign and m.fk_dtstamp = s.dtstamp"
                                                            << QStringList {"4"};
}

void TestDireWolfBridge::detailRows()
{
    QFETCH(QString, select);
    const QList<QStringList> found = rows(select);
    QCOMPARE(found.size(), 1);
    QTEST(found.first(), "expected");
}

QTEST_MAIN(TestDireWolfBridge)
#include "tst_direwolf_bridge.moc"

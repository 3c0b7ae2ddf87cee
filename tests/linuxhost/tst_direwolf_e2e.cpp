#include "DireWolfRig.h"
#include "support/LogCapture.h"

#include "linuxhost/LinuxHost.h"
#include "linuxhost/feeds/AgwSource.h"
#include "linuxhost/feeds/KissTcpSource.h"

#include <QTemporaryDir>
#include <QTest>

// Packets go through the air as far as a test can take them: gen_packets makes
// AFSK audio, Dire Wolf demodulates it and serves it over KISS and AGW, and two
// Linux hosts, one on each, turn what they get into beacons. Every position
// must arrive at both with the same, right fields.
class TestDireWolfEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPacketArrives();
    void arrivesAsBeacon_data();
    void arrivesAsBeacon();

private:
    struct Expected {
        QByteArray line;
        bool beacon;
    };
    static QList<Expected> traffic();
    static const BeaconRecord *beaconOf(const QList<BeaconRecordRef> &beacons, const QString &callsign);

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<DireWolfRig> mRig;
    std::unique_ptr<LinuxHost> mHost;
    std::unique_ptr<LinuxHost> mAgwHost;
    std::unique_ptr<LogCapture> mLog;
    QList<BeaconRecordRef> mBeacons;
    QList<BeaconRecordRef> mAgwBeacons;
};

QList<TestDireWolfEndToEnd::Expected> TestDireWolfEndToEnd::traffic()
{
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

void TestDireWolfEndToEnd::initTestCase()
{
    const QString network = DireWolfRig::networkProblem();
    if (!network.isEmpty())
        QFAIL(qPrintable(network));

    mLog = std::make_unique<LogCapture>();
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
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
    mHost = std::make_unique<LinuxHost>(settings);
    auto source = std::make_unique<KissTcpSource>(QStringLiteral("127.0.0.1"), KissPort);
    KissTcpSource *kiss = source.get();
    mHost->attachSource(std::move(source));
    connect(
        mHost.get(), &HostApplication::NotifyBeaconData, this, [this](BeaconRecordRef beacon) { mBeacons << beacon; });
    mHost->start();

    mAgwHost = std::make_unique<LinuxHost>(settings);
    auto agwSource = std::make_unique<AgwSource>(QStringLiteral("127.0.0.1"), AgwPort);
    AgwSource *agw = agwSource.get();
    mAgwHost->attachSource(std::move(agwSource));
    connect(mAgwHost.get(), &HostApplication::NotifyBeaconData, this,
        [this](BeaconRecordRef beacon) { mAgwBeacons << beacon; });
    mAgwHost->start();
    // Connected before the audio starts, or the first frames go to nobody;
    // an AGW client gets raw frames only once its request has been read.
    QTRY_VERIFY_WITH_TIMEOUT(kiss->isLinkUp(), 10'000);
    QTRY_VERIFY_WITH_TIMEOUT(agw->isMonitoring(), 10'000);

    mRig->play();
    qsizetype wanted = 0;
    for (const Expected &e : traffic())
        wanted += e.beacon ? 1 : 0;
    for (LinuxHost *host : {mHost.get(), mAgwHost.get()}) {
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
}

void TestDireWolfEndToEnd::cleanupTestCase()
{
    mHost.reset();
    mAgwHost.reset();
    if (mRig)
        mRig->stop();
    mRig.reset();
    mLog.reset();
}

// This hook is where a whole-bridge run can take over: the same rig, with
// the main window attached to the host and SQLite behind it.
void TestDireWolfEndToEnd::everyPacketArrives()
{
    for (LinuxHost *host : {mHost.get(), mAgwHost.get()}) {
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

const BeaconRecord *TestDireWolfEndToEnd::beaconOf(const QList<BeaconRecordRef> &beacons, const QString &callsign)
{
    for (const BeaconRecordRef &beacon : beacons) {
        if (beacon->callsign() == callsign)
            return beacon.get();
    }
    return nullptr;
}

void TestDireWolfEndToEnd::arrivesAsBeacon_data()
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

void TestDireWolfEndToEnd::arrivesAsBeacon()
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

QTEST_GUILESS_MAIN(TestDireWolfEndToEnd)
#include "tst_direwolf_e2e.moc"

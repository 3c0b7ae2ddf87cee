#include "DireWolfRig.h"

#include "app/ErrorReport.h"
#include "app/Form1.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/feeds/KissTcpSource.h"

#include "TestDatabases.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

// The whole bridge on a real radio path: gen_packets makes AFSK audio, Dire
// Wolf demodulates it and serves KISS over TCP, the Linux host decodes the
// frames, and the main window queues, drains and stores them in SQLite.
class TestDireWolfBridge : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyBeaconHasItsStationsRow();
    void detailRows_data();
    void detailRows();

private:
    QList<QStringList> rows(const QString &select) const { return queryRows(mDb, select); }

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<DireWolfRig> mRig;
    std::unique_ptr<Form1> mWindow;
    LinuxHost *mHost = nullptr;
    TestDatabase mDb;
    QList<ErrorReport> mFatal;
};

namespace {
const QList<QByteArray> Traffic = {
    "N1CALL>APRS,WIDE2-1:>Net Control",
    "N0CALL-9>APRS,WIDE1-1:!4903.50N/07201.75W>088/036/A=001234Mobile",
    "N1CALL>APRS,DIGI1*,WIDE2-1:=5130.00N/00007.50W-House",
    "N3CALL>APRS:;LEADER   *092345z4903.50N/07201.75W>088/036",
    "N5CALL>APRS:@092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW",
    "N7CALL>APRS::N0CALL-9 :see you at the net{01",
};
constexpr int Beacons = 4;
constexpr quint16 KissPort = 8011;
}  // namespace

void TestDireWolfBridge::initTestCase()
{
    const QString network = DireWolfRig::networkProblem();
    if (!network.isEmpty())
        QFAIL(qPrintable(network));

    mDir = std::make_unique<QTemporaryDir>();
    mDb = testDatabase(QStringLiteral("sqlite"), mDir->filePath(QStringLiteral("radio.sqlite")));
    recreateTables(mDb);
    QFile ini(mDir->filePath(QStringLiteral("keldan.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("DATABASE=" + mDb.database.toUtf8() + "\r\n");
    ini.close();

    mRig = std::make_unique<DireWolfRig>(mDir->path());
    QString error;
    QVERIFY2(mRig->makeAudio(Traffic, &error), qPrintable(error));
    QVERIFY2(mRig->start(KissPort, &error), qPrintable(error));

    Form1Options options;
    options.programFolder = mDir->path();
    options.createHost = [this] {
        HostSettings settings;
        settings.feeds.first().port = KissPort;
        auto host = std::make_unique<LinuxHost>(settings);
        host->attachFeeds(settings);
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

    auto *kiss = qobject_cast<KissTcpSource *>(mHost->source());
    QVERIFY(kiss);
    // Connected before the audio starts, or the first frames go to nobody.
    QTRY_VERIFY_WITH_TIMEOUT(kiss->isLinkUp(), 10'000);
    mRig->play();
    QTRY_VERIFY2_WITH_TIMEOUT(mHost->counters().received >= Traffic.size(),
        qPrintable(QStringLiteral("%1 of %2 packets came through; Dire Wolf said:\n%3")
                       .arg(mHost->counters().received)
                       .arg(Traffic.size())
                       .arg(mRig->output())),
        60'000);
    QTRY_COMPARE(mWindow->queue().queueCount(), qint16(0));
    QVERIFY(mFatal.isEmpty());
}

void TestDireWolfBridge::cleanupTestCase()
{
    mWindow.reset();
    if (mRig)
        mRig->stop();
}

void TestDireWolfBridge::everyBeaconHasItsStationsRow()
{
    QCOMPARE(mHost->counters().beacons, Beacons);
    const QList<QStringList> stations = rows(QStringLiteral(
        "select callsign, type, heard_direct, radio_port, symbol, object_owner from stations order by callsign"));
    QCOMPARE(stations,
        (QList<QStringList> {
            {"LEADER", "2", "1", "1", "/>", "N3CALL"},
            {"N0CALL-9", "2", "1", "1", "/>", ""},
            {"N1CALL", "0", "0", "1", "/-", ""},
            {"N5CALL", "1", "1", "1", "/_", ""},
        }));
    // The last beacon is on show; nothing is left on the status line.
    QCOMPARE(mWindow->findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), QStringLiteral("N5CALL"));
    QCOMPARE(mWindow->findChild<QLineEdit *>(QStringLiteral("Text2"))->text(), QStringLiteral("49.03.50N"));
    QCOMPARE(mWindow->findChild<QLabel *>(QStringLiteral("status"))->text(), QString());
}

void TestDireWolfBridge::detailRows_data()
{
    QTest::addColumn<QString>("select");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("fixed station with its status and digipeated path")
        << "select fk_callsign, status, comment, path from fixed_data"
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
                                                            << QStringList {"2"};
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

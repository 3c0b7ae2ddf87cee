#include "support/LogCapture.h"
#include "support/LoopbackServer.h"

#include "host/HostSettingsStore.h"
#include "linuxhost/HostFactory.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/SilentHost.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using Pairs = QList<QPair<QString, QString>>;

class TestHostFactory : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void badSettingsGiveSilentHost_data();
    void badSettingsGiveSilentHost();
    void kissFeed();
    void badFeedIsLeftOutOthersRun();
    void aprsIsFeed();
    void logFeed();
    void configFileProblems_data();
    void configFileProblems();

private:
    void writeStore(const Pairs &pairs);
    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<LogCapture> mLog;
};

void TestHostFactory::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    // The host's store lives under this folder for the test.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, mDir->path());
    mLog = std::make_unique<LogCapture>();
}

void TestHostFactory::cleanup()
{
    mLog.reset();
    mDir.reset();
}

void TestHostFactory::writeStore(const Pairs &pairs)
{
    const auto store = HostSettingsStore::open();
    store->clear();
    store->setValue(QStringLiteral("Program Folder"), QStringLiteral("/opt/uiview32"));
    for (const auto &[key, value] : pairs)
        store->setValue(key, value);
    store->sync();
    QCOMPARE(store->status(), QSettings::NoError);
}

void TestHostFactory::badSettingsGiveSilentHost_data()
{
    QTest::addColumn<Pairs>("pairs");
    QTest::addColumn<QStringList>("problems");

    QTest::addRow("no scheme") << Pairs {{"Feed", "/dev/ttyUSB0"}}
                               << QStringList {"Feed \"/dev/ttyUSB0\" has no scheme; use kiss://HOST:PORT, "
                                               "agw://HOST:PORT, aprs-is://HOST:PORT, serial:DEVICE@BAUD or file:PATH"};
    QTest::addRow("bad port") << Pairs {{"Feed", "kiss://127.0.0.1:80010"}}
                              << QStringList {"Feed \"kiss://127.0.0.1:80010\" has a bad port \"80010\"; a port is a "
                                              "number from 1 to 65535"};
    QTest::addRow("unreadable file")
        << Pairs {{"Feed", "file:/nonexistent/x.log"}}
        << QStringList {"Feed \"file:/nonexistent/x.log\": the log file /nonexistent/x.log cannot be read (No such "
                        "file or directory)"};
}

void TestHostFactory::badSettingsGiveSilentHost()
{
    QFETCH(Pairs, pairs);
    QFETCH(QStringList, problems);
    writeStore(pairs);
    struct sigaction before = {};
    sigaction(SIGTERM, nullptr, &before);

    std::unique_ptr<HostApplication> host = createHostApplication();
    QVERIFY(host);
    QVERIFY(qobject_cast<SilentHost *>(host.get()));

    const QString store = mDir->filePath(QStringLiteral("Peak Systems/UI-View32.conf"));
    QStringList expected;
    for (const QString &problem : problems)
        expected << QStringLiteral("Settings: ") + problem;
    expected << QStringLiteral("Settings: %1 holds a value that cannot be used; no beacons until it is put right")
                    .arg(store);
    QCOMPARE(mLog->messages(), expected);

    // Silent: no events, not even for a termination signal (whatever handles
    // it is left alone), and nothing more in the log.
    QSignalSpy beacons(host.get(), &HostApplication::NotifyBeaconData);
    QTest::qWait(50);
    QCOMPARE(beacons.size(), 0);
    QCOMPARE(mLog->messages().size(), expected.size());
    struct sigaction after = {};
    sigaction(SIGTERM, nullptr, &after);
    QVERIFY(after.sa_handler == before.sa_handler);
}

void TestHostFactory::kissFeed()
{
    LoopbackServer tnc;
    QVERIFY(tnc.listen());
    writeStore({{"Feed", QStringLiteral("kiss://127.0.0.1:%1").arg(tnc.port())}, {"Latitude", "51.5"},
        {"Longitude", "0"}, {"Exclusions", "N0CALL"}});

    std::unique_ptr<HostApplication> host = createHostApplication();
    auto *linux = qobject_cast<LinuxHost *>(host.get());
    QVERIFY(linux);
    QList<BeaconRecordRef> beacons;
    connect(host.get(), &HostApplication::NotifyBeaconData, this, [&](BeaconRecordRef b) { beacons << b; });
    QSignalSpy closing(host.get(), &HostApplication::UIView32IsClosing);

    QTRY_COMPARE(tnc.connectionCount(), 1);
    // N0CALL>APRS:!5130.00N/00100.00E- on KISS port 0.
    QByteArray frame("\xC0\x00", 2);
    frame += QByteArray::fromHex("82a0a4a6404060 9c6086829898 61 03f0");
    frame += "!5130.00N/00100.00E-";
    frame += char(0xC0);
    QTRY_VERIFY(tnc.last()->state() == QAbstractSocket::ConnectedState);
    tnc.send(frame);
    QTRY_COMPARE(beacons.size(), 1);
    QCOMPARE(beacons.first()->callsign(), QStringLiteral("N0CALL"));
    QCOMPARE(beacons.first()->radioPort(), 1);
    QCOMPARE(beacons.first()->excluded(), HostTrue);
    // 1 degree of longitude at 51.5 N.
    QVERIFY2(std::abs(beacons.first()->distance() - 69.22f) < 0.05f,
        qPrintable(QString::number(beacons.first()->distance())));
    QCOMPARE(mLog->messages().first(), QStringLiteral("Feed KISS 127.0.0.1:%1").arg(tnc.port()));

    // The factory's host watches the termination signals.
    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_COMPARE(closing.size(), 1);
}

void TestHostFactory::badFeedIsLeftOutOthersRun()
{
    LoopbackServer tnc;
    QVERIFY(tnc.listen());
    writeStore({{"Feed", "kiss//127.0.0.1:8001"}, {"Feed 2", QStringLiteral("kiss://127.0.0.1:%1").arg(tnc.port())}});

    std::unique_ptr<HostApplication> host = createHostApplication();
    QVERIFY(qobject_cast<LinuxHost *>(host.get()));
    QList<BeaconRecordRef> beacons;
    connect(host.get(), &HostApplication::NotifyBeaconData, this, [&](BeaconRecordRef b) { beacons << b; });
    QTRY_COMPARE(tnc.connectionCount(), 1);
    QTRY_VERIFY(tnc.last()->state() == QAbstractSocket::ConnectedState);
    // N0CALL>APRS:!5130.00N/00100.00E- on KISS port 0 of feed 2.
    QByteArray frame("\xC0\x00", 2);
    frame += QByteArray::fromHex("82a0a4a6404060 9c6086829898 61 03f0");
    frame += "!5130.00N/00100.00E-";
    frame += char(0xC0);
    tnc.send(frame);
    QTRY_COMPARE(beacons.size(), 1);
    QCOMPARE(beacons.first()->radioPort(), 101);
    QCOMPARE(mLog->messages().first(3),
        (QStringList {"Settings: Feed \"kiss//127.0.0.1:8001\" has no scheme; use kiss://HOST:PORT, "
                      "agw://HOST:PORT, aprs-is://HOST:PORT, serial:DEVICE@BAUD or file:PATH",
            "Settings: Feed is left out; the other feeds run",
            QStringLiteral("Feed 2 KISS 127.0.0.1:%1").arg(tnc.port())}));
}

void TestHostFactory::aprsIsFeed()
{
    LoopbackServer server;
    QVERIFY(server.listen());
    writeStore({{"Feed", QStringLiteral("aprs-is://127.0.0.1:%1").arg(server.port())}, {"Callsign", "N0CALL-5"},
        {"Filter", "r/51.5/0/100"}});
    std::unique_ptr<HostApplication> host = createHostApplication();
    QVERIFY(qobject_cast<LinuxHost *>(host.get()));
    QTRY_COMPARE(server.received(0), QByteArray("user N0CALL-5 pass -1 vers Keldan 1.1.1 filter r/51.5/0/100\r\n"));
}

void TestHostFactory::logFeed()
{
    const QString path = mDir->filePath(QStringLiteral("heard.log"));
    QFile log(path);
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("# two stations\nN0CALL>APRS:!5130.00N/00100.00E-\n\nN1CALL>APRS:!5130.00N/00100.00E>\n");
    log.close();
    writeStore({{"Feed", "file:" + path}, {"Replay Rate", "1000"}});

    std::unique_ptr<HostApplication> host = createHostApplication();
    QList<BeaconRecordRef> beacons;
    connect(host.get(), &HostApplication::NotifyBeaconData, this, [&](BeaconRecordRef b) { beacons << b; });
    QSignalSpy closing(host.get(), &HostApplication::UIView32IsClosing);
    QTRY_COMPARE(beacons.size(), 2);
    QCOMPARE(beacons.at(1)->callsign(), QStringLiteral("N1CALL"));
    QCOMPARE(beacons.at(1)->radioPort(), 0);
    QTRY_VERIFY(mLog->messages().contains(QStringLiteral("LOG %1 ended after 2 packets").arg(path)));
    // The end of the log is no closing event.
    QCOMPARE(closing.size(), 0);
}

// keldan --config FILE: what would stop the start, the file's lines first,
// then the values the host cannot use, which the per-user store only logs.
void TestHostFactory::configFileProblems_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("problems");

    QTest::addRow("the installed file: nothing set") << QByteArray("#Feed = kiss://127.0.0.1:8001\n") << QStringList {};
    QTest::addRow("two usable feeds") << QByteArray(
        "Feed = kiss://127.0.0.1:8001\nFeed 2 = agw://127.0.0.1:8000\nTime Zone = UTC\n")
                                      << QStringList {};
    QTest::addRow("a line that is no setting")
        << QByteArray("Feed = kiss://127.0.0.1:80010\nTimezone = UTC\n")
        << QStringList {
               "line 2: \"Timezone\" is no setting; the settings are Feed, Callsign, Passcode, Filter, "
               "Latitude, Longitude, Exclusions, Replay Rate, Time Zone, Journal Days, Web, Feed 2 ... Feed 99"};
    QTest::addRow("one feed of two cannot be used")
        << QByteArray("Feed = kiss://127.0.0.1:8001\nFeed 2 = kiss://127.0.0.1:80010\n")
        << QStringList {
               "Feed 2 \"kiss://127.0.0.1:80010\" has a bad port \"80010\"; a port is a number from 1 to 65535"};
    QTest::addRow("a value that cannot be used")
        << QByteArray("Time Zone = CET\n") << QStringList {"Time Zone \"CET\" is not a time zone; use local or UTC"};
}

void TestHostFactory::configFileProblems()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, problems);
    const QString path = mDir->filePath(QStringLiteral("keldan.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    QCOMPARE(hostConfigProblems(path), problems);
}

QTEST_GUILESS_MAIN(TestHostFactory)
#include "tst_hostfactory.moc"

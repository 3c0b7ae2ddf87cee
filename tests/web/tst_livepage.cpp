// The live page as the bridge serves it: a real window storing into a real
// SQLite database, the page's server on 127.0.0.1, and Debian's Chromium
// polling it.
#include "BrowserSession.h"
#include "app/ErrorReport.h"
#include "app/Form1.h"
#include "app/LivePage.h"
#include "host/HostSettingsStore.h"
#include "support/ScriptedBeaconRecord.h"
#include "support/ScriptedHost.h"
#include "support/TestDatabases.h"
#include "web/LiveMap.h"
#include "web/LiveStatus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Password = "Pw-9f3Kq7-secret";

}  // namespace

class TestLivePage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mConfigHome;
    std::unique_ptr<QTemporaryDir> mFolder;
    std::unique_ptr<Form1> mWindow;
    std::unique_ptr<LivePage> mLive;
    ScriptedHost *mHost = nullptr;

    // A window logged on to an SQLite database with a password in its
    // settings, and its live page on a free loopback port.
    void startBridge()
    {
        mFolder = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(mFolder->path());
        const TestDatabase db = testDatabase("sqlite", mFolder->filePath("bridge.sqlite"));
        recreateTables(db);
        QFile ini(mFolder->filePath("keldan.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("DATABASE=" + db.database.toUtf8() + "\r\nPASSWORD=" + Password + "\r\n");
        ini.close();
        Form1Options options;
        options.programFolder = mFolder->path();
        options.createHost = [this] {
            auto host = std::make_unique<ScriptedHost>();
            mHost = host.get();
            return host;
        };
        options.endProcess = [] {};
        options.fatalError = [](std::exception_ptr failure) {
            qFatal("%s", qPrintable(ErrorReport::from(failure).message()));
        };
        mWindow = std::make_unique<Form1>(options);
        mWindow->Form_Load();
        QCOMPARE(mWindow->liveStatus().linkConnected(), true);
        mLive = std::make_unique<LivePage>(*mWindow);
        LivePage::Options live;
        live.address = QHostAddress::LocalHost;
        live.port = 0;
        QVERIFY(mLive->start(live));
        QVERIFY(mLive->port() != 0);
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(mLive->port()).arg(path));
    }

    void queueBeacon(const QString &callsign, float latitudeMinutes, float longitudeMinutes)
    {
        ScriptedBeaconRecord::Fields fields;
        fields.callsign = callsign;
        fields.packetHeader = callsign + QStringLiteral(">APRS,WIDE2-1");
        fields.latitude = latitudeMinutes;
        fields.longitude = longitudeMinutes;
        // Within the map's last hours.
        fields.timeA = fields.timeB = QDateTime::currentDateTime();
        mWindow->mUIV_NotifyBeaconData(std::make_shared<ScriptedBeaconRecord>(fields));
    }

    struct Answer {
        int status = 0;
        QByteArray body;
    };
    Answer request(const QByteArray &verb, const QString &path)
    {
        QNetworkAccessManager network;
        QNetworkReply *reply = network.sendCustomRequest(QNetworkRequest(url(path)), verb);
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        Answer answer {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
        reply->deleteLater();
        return answer;
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", mConfigHome.path().toUtf8()); }

    void cleanup()
    {
        mLive.reset();
        mWindow.reset();
        QDir::setCurrent(QDir::tempPath());
        mFolder.reset();
    }

    // Every route, and some that are none, with the link up and a beacon
    // stored: neither the password nor a connect string comes back, and
    // nothing but GET is answered.
    void noRouteLeaksSecrets()
    {
        startBridge();
        queueBeacon(QStringLiteral("N0LEAK"), 3090.12f, -7.5f);
        QTRY_VERIFY(mLive->map().contains(QStringLiteral("N0LEAK")));
        for (const QString &path :
            {QStringLiteral("/"), QStringLiteral("/api/status"), QStringLiteral("/api/map"),
                QStringLiteral("/api/map?after=0"), QStringLiteral("/api/map?after=1"), QStringLiteral("/api/settings"),
                QStringLiteral("/keldan.ini"), QStringLiteral("/../keldan.ini"), QStringLiteral("/api/status/..")}) {
            const Answer answer = request("GET", path);
            QVERIFY2(!answer.body.contains(Password), qPrintable(path));
            for (const QByteArray connectPart : {"PWD=", "UID=", "DSN=", "DATABASE="})
                QVERIFY2(
                    !answer.body.toUpper().contains(connectPart), qPrintable(path + QLatin1Char(' ') + connectPart));
        }
        QCOMPARE(request("GET", QStringLiteral("/api/status")).status, 200);
        QCOMPARE(request("GET", QStringLiteral("/keldan.ini")).status, 404);
        for (const QByteArray verb : {"POST", "PUT", "DELETE"})
            QVERIFY2(request(verb, QStringLiteral("/api/status")).status >= 400, verb.constData());
    }

    // What was stored before the page started comes from the read of its
    // own: a second window's map holds the first one's station without a
    // beacon of its own.
    void seedReadsWhatWasStoredBefore()
    {
        startBridge();
        queueBeacon(QStringLiteral("N0SEED"), 3090.12f, -7.5f);
        QTRY_VERIFY(mLive->map().contains(QStringLiteral("N0SEED")));
        const QString database = mFolder->filePath("bridge.sqlite");
        mLive.reset();
        mWindow.reset();

        Form1Options options;
        options.programFolder = mFolder->path();
        options.createHost = [] { return std::make_unique<ScriptedHost>(); };
        options.endProcess = [] {};
        options.fatalError = [](std::exception_ptr) { qFatal("fatal error"); };
        mWindow = std::make_unique<Form1>(options);
        mWindow->Form_Load();
        mLive = std::make_unique<LivePage>(*mWindow);
        LivePage::Options live;
        live.port = 0;
        QVERIFY(mLive->start(live));
        QTRY_VERIFY(mLive->map().contains(QStringLiteral("N0SEED")));
        QCOMPARE(mLive->map().stationCount(), 1);
    }

    // Another session holds the SQLite file: the beacon's row is kept, the
    // page says the link is down, and once the lock is gone the kept row
    // goes in and its station joins the map.
    void lockedDatabaseInTheBrowser()
    {
        if (!HeadlessChromium::available())
            QFAIL("no /usr/bin/chromium: bash scripts/install-packages.sh test installs it");
        startBridge();
        BrowserSession browser;
        const QString failure = browser.open(url(QStringLiteral("/")));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QTRY_VERIFY_WITH_TIMEOUT(
            browser.evaluate(QStringLiteral("document.documentElement.getAttribute('data-link')")).toString() == "up",
            30'000);

        QProcess holder;
        holder.start(QStringLiteral("sqlite3"), {mFolder->filePath("bridge.sqlite")});
        QVERIFY(holder.waitForStarted());
        holder.write("BEGIN EXCLUSIVE;\n");
        // Held once a second session cannot start writing.
        const QStringList tryWrite {mFolder->filePath("bridge.sqlite"), QStringLiteral("BEGIN IMMEDIATE; ROLLBACK;")};
        QTRY_VERIFY(QProcess::execute(QStringLiteral("sqlite3"), tryWrite) != 0);

        // SQLite's busy wait holds the window's thread about 10 s before the
        // statement fails as locked; from then on the bridge knows.
        queueBeacon(QStringLiteral("N0KEPT"), 3090.12f, -7.5f);
        QTRY_VERIFY_WITH_TIMEOUT(mWindow->liveStatus().toJson().contains("\"link\":\"reopening\""), 30'000);
        QElapsedTimer sinceKept;
        sinceKept.start();
        QTRY_VERIFY_WITH_TIMEOUT(
            browser.evaluate(QStringLiteral("document.documentElement.getAttribute('data-link')")).toString()
                == "reopening",
            10'000);
        qInfo("the page showed the link down %lld ms after the row was kept", sinceKept.elapsed());
        QVERIFY(!mLive->map().contains(QStringLiteral("N0KEPT")));

        holder.write("COMMIT;\n.quit\n");
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(
            browser.evaluate(QStringLiteral("window.keldanReport.has('N0KEPT')")).toBool(), 20'000);
        QTRY_VERIFY_WITH_TIMEOUT(
            browser.evaluate(QStringLiteral("document.documentElement.getAttribute('data-link')")).toString() == "up",
            5000);
    }

    void mapAndStatusInTheBrowser()
    {
        if (!HeadlessChromium::available())
            QFAIL("no /usr/bin/chromium: bash scripts/install-packages.sh test installs it");
        startBridge();
        // One station before the page opens: the page then holds a version
        // of the map and asks only for what changed after it.
        queueBeacon(QStringLiteral("N0FIRST"), 3000.0f, -7.5f);
        QTRY_VERIFY(mLive->map().contains(QStringLiteral("N0FIRST")));
        BrowserSession browser;
        const QString failure = browser.open(url(QStringLiteral("/")));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        // The page has asked for the map once and shows the link up.
        QTRY_VERIFY_WITH_TIMEOUT(
            browser.evaluate(QStringLiteral("document.documentElement.getAttribute('data-link')")).toString() == "up",
            30'000);
        QTRY_VERIFY_WITH_TIMEOUT(browser.evaluate(QStringLiteral("window.keldanReport.has('N0FIRST')")).toBool(), 5000);
        QVERIFY(!browser.evaluate(QStringLiteral("window.keldanReport.has('N0LIVE')")).toBool());

        queueBeacon(QStringLiteral("N0LIVE"), 3090.12f, -7.5f);
        QTRY_VERIFY(mLive->map().contains(QStringLiteral("N0LIVE")));
        QElapsedTimer sinceStored;
        sinceStored.start();
        QTRY_VERIFY_WITH_TIMEOUT(browser.evaluate(QStringLiteral("window.keldanReport.has('N0LIVE')")).toBool(), 5000);
        qInfo("the map showed the station %lld ms after its row was stored", sinceStored.elapsed());
        QCOMPARE(
            browser.evaluate(QStringLiteral("document.getElementById('map').getAttribute('data-stations')")).toString(),
            QStringLiteral("2"));
        QCOMPARE(
            browser
                .evaluate(QStringLiteral("document.getElementById('live-latest').textContent.indexOf('N0LIVE') >= 0"))
                .toBool(),
            true);
        QCOMPARE(
            browser.evaluate(QStringLiteral("document.documentElement.getAttribute('data-script-errors')")).isNull(),
            true);

        // The database link closes: the page says so.
        mWindow->logOff();
        QVERIFY(!mWindow->liveStatus().linkConnected());
        QElapsedTimer sinceDown;
        sinceDown.start();
        QTRY_VERIFY_WITH_TIMEOUT(
            browser.evaluate(QStringLiteral("document.documentElement.getAttribute('data-link')")).toString() == "down",
            10'000);
        qInfo("the page showed the link down %lld ms after it closed", sinceDown.elapsed());
        QCOMPARE(browser.evaluate(QStringLiteral("document.getElementById('live-status-line').textContent")).toString(),
            mWindow->liveStatus().status());
    }
};

QTEST_MAIN(TestLivePage)
#include "tst_livepage.moc"

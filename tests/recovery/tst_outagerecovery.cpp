// The whole program through a two-minute database outage, fed live at 20
// beacons a second from an APRS-IS server the test plays on 127.0.0.1: the
// queue fills and refuses beacons, the database comes back, and the journal's
// recovery stores what was refused. Every beacon sent is then in the database
// once, with its detail row and the time it was heard. The servers are a pair
// of the test's own (stopping the shared ones would break the tests beside
// it); SQLite's outage is another session holding its write lock.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>
#include <sys/prctl.h>
#include <thread>

namespace {

const QString ServersRoot = QStringLiteral(KELDAN_OUTAGE_SERVERS_ROOT);
// First ports tried, clear of the shared servers' 54329 and 33069 and the
// next few that other build folders take.
constexpr quint16 FirstPgPort = 54429;
constexpr quint16 FirstMariadbPort = 33169;

constexpr int BeaconsPerSecond = 20;
constexpr int NormalSeconds = 20;   // before the outage, and again after it
constexpr int OutageSeconds = 120;  // 2400 beacons, more than the queue's 1000
constexpr qint64 MostLateMs = 2000;

enum class Kind { Fixed, Mobile, Weather };

struct SentBeacon {
    QByteArray callsign;
    Kind kind = Kind::Fixed;
    qint64 sentAtMsUtc = 0;
};

QByteArray callsign(int n)
{
    QByteArray call = "O";
    for (int i = 0; i < 4; ++i, n /= 26)
        call += char('A' + n % 26);
    return call;
}

// By turns fixed (a house), mobile (a car with course and speed) and weather.
SentBeacon beacon(int n, QByteArray &line)
{
    SentBeacon sent;
    sent.callsign = callsign(n);
    sent.kind = Kind(n % 3);
    const QByteArray latitude = QByteArray::number(5000 + (n % 600) / 10.0, 'f', 2) + 'N';  // 50 00.0 to 50 59.9
    const QByteArray position = "!" + latitude + "/01320.00E";
    line = sent.callsign + ">APRS,TCPIP*,qAC,T2TEST:" + position;
    switch (sent.kind) {
    case Kind::Fixed:
        line += "-outage fixed " + QByteArray::number(n);
        break;
    case Kind::Mobile:
        line += ">090/036/A=001234outage mobile " + QByteArray::number(n);
        break;
    case Kind::Weather:
        line += "_090/010g015t068r000p000P000h50b10132";
        break;
    }
    line += "\r\n";
    return sent;
}

// Per kind, in the order of Kind: its name, stations.type and detail table.
struct KindFacts {
    QLatin1String name;
    QLatin1String type;
    QLatin1String table;
};
constexpr KindFacts Kinds[] = {
    {QLatin1String("fixed"), QLatin1String("0"), QLatin1String("fixed_data")},
    {QLatin1String("mobile"), QLatin1String("2"), QLatin1String("mobile_data")},
    {QLatin1String("weather"), QLatin1String("1"), QLatin1String("wx_data")},
};
const KindFacts &factsOf(Kind kind)
{
    return Kinds[int(kind)];
}

// An APRS-IS server on 127.0.0.1, played on a thread of its own so that
// nothing the test waits for (a server stopping, a query) holds it up. It
// takes the bridge's connection and sends one beacon every 50 ms, on a
// steady schedule, noting when each went out, until told to stop; the
// connection stays open until the feed is destroyed.
class AprsIsFeed
{
public:
    AprsIsFeed()
    {
        std::promise<quint16> listening;
        std::future<quint16> port = listening.get_future();
        mThread = std::thread([this, &listening] { run(listening); });
        mPort = port.get();
    }
    ~AprsIsFeed()
    {
        mStopSending = true;
        mQuit = true;
        mThread.join();
    }
    AprsIsFeed(const AprsIsFeed &) = delete;
    AprsIsFeed &operator=(const AprsIsFeed &) = delete;

    quint16 port() const { return mPort; }
    bool connected() const { return mConnected; }
    void stopSending()
    {
        mStopSending = true;
        while (mSending)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    qsizetype sentCount() const
    {
        QMutexLocker lock(&mMutex);
        return mSent.size();
    }
    QList<SentBeacon> sent() const
    {
        QMutexLocker lock(&mMutex);
        return mSent;
    }
    QString problem() const
    {
        QMutexLocker lock(&mMutex);
        return mProblem;
    }

private:
    void run(std::promise<quint16> &listening)
    {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, 0)) {
            listening.set_value(0);
            return;
        }
        listening.set_value(server.serverPort());
        while (!mQuit && !server.waitForNewConnection(100)) { }
        QTcpSocket *socket = mQuit ? nullptr : server.nextPendingConnection();
        if (!socket)
            return;
        socket->write("# aprsc 2.1.14 outage test\r\n");
        socket->flush();
        mConnected = true;
        mSending = true;
        const auto start = std::chrono::steady_clock::now();
        for (int n = 0; !mStopSending; ++n) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(n * 1000 / BeaconsPerSecond));
            socket->readAll();  // the login line
            if (socket->state() != QAbstractSocket::ConnectedState) {
                fail(QStringLiteral("the bridge closed the feed's connection after %1 beacons").arg(n));
                break;
            }
            QByteArray line;
            SentBeacon sent = beacon(n, line);
            sent.sentAtMsUtc = QDateTime::currentMSecsSinceEpoch();
            socket->write(line);
            while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(1000)) { }
            if (socket->bytesToWrite() > 0) {
                fail(QStringLiteral("beacon %1 could not be written: %2").arg(n).arg(socket->errorString()));
                break;
            }
            QMutexLocker lock(&mMutex);
            mSent.append(sent);
        }
        mSending = false;
        while (!mQuit) {
            socket->waitForReadyRead(100);
            socket->readAll();
        }
    }
    void fail(const QString &problem)
    {
        QMutexLocker lock(&mMutex);
        mProblem = problem;
    }

    std::thread mThread;
    quint16 mPort = 0;
    std::atomic_bool mConnected = false;
    std::atomic_bool mSending = false;
    std::atomic_bool mStopSending = false;
    std::atomic_bool mQuit = false;
    mutable QMutex mMutex;
    QList<SentBeacon> mSent;
    QString mProblem;
};

// The database away: its server stopped, or (SQLite) another session holding
// the write lock in an open transaction. Brought back on destruction when the
// test ends early, so that the next row finds it.
class Outage
{
public:
    explicit Outage(TestDatabase db) : mDb(std::move(db)) { }
    ~Outage()
    {
        try {
            end();
        } catch (const std::exception &e) {
            qWarning("cannot end the outage of %s: %s", qPrintable(mDb.name), e.what());
        }
    }
    Outage(const Outage &) = delete;
    Outage &operator=(const Outage &) = delete;

    void begin()
    {
        if (mDb.needsServer()) {
            stopServer(mDb);
        } else {
            mHolder.open(mDb.connectionString());
            mHolder.setAutocommit(false);
            mHolder.execute(
                QStringLiteral("insert into stations (callsign, dtstamp) values ('LOCK', '2000-01-01 00:00:00')"));
        }
        mBegun = true;
    }
    void end()
    {
        if (!mBegun)
            return;
        mBegun = false;
        if (mDb.needsServer()) {
            startServer(mDb);
        } else {
            mHolder.rollback();
            mHolder.close();
        }
    }

private:
    TestDatabase mDb;
    OdbcConnection mHolder {QStringLiteral("outage")};
    bool mBegun = false;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 stationRows(const TestDatabase &db)
{
    try {
        return queryRows(db, QStringLiteral("select count(*) from stations")).value(0).value(0).toLongLong();
    } catch (const std::exception &) {
        return -1;
    }
}

// A stored time, to the second and without a zone (UTC here), in ms.
qint64 dtstampMs(const QString &text)
{
    QDateTime time = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    time.setTimeZone(QTimeZone::utc());
    return time.isValid() ? time.toMSecsSinceEpoch() : 0;
}

// callsign -> the times of its rows in a table.
QHash<QString, QStringList> timesByCallsign(const TestDatabase &db, const QString &select)
{
    QHash<QString, QStringList> times;
    for (const QStringList &row : queryRows(db, select))
        times[row.value(0)] << row.value(1).left(19);
    return times;
}

struct BridgeCounts {
    qint64 refused = -1;
    qint64 recovered = -1;
    qint64 stored = -1;
    qint64 received = -1;
};

// From the summary the bridge writes as it ends.
BridgeCounts summaryCounts(const QString &log)
{
    static const QRegularExpression summary(QStringLiteral(
        R"(since start: received (\d+), beacons \d+, stored (\d+), failed \d+, refused (\d+), recovered (\d+);)"));
    BridgeCounts counts;
    QRegularExpressionMatch last;
    for (auto it = summary.globalMatch(log); it.hasNext();)
        last = it.next();
    if (last.hasMatch()) {
        counts.received = last.captured(1).toLongLong();
        counts.stored = last.captured(2).toLongLong();
        counts.refused = last.captured(3).toLongLong();
        counts.recovered = last.captured(4).toLongLong();
    }
    return counts;
}

// The sum of what the recoveries' lines say they stored.
qint64 recoveredInLines(const QString &log)
{
    static const QRegularExpression line(QStringLiteral(R"(Recovery: (\d+) beacons recovered from the journal)"));
    qint64 sum = 0;
    for (auto it = line.globalMatch(log); it.hasNext();)
        sum += it.next().captured(1).toLongLong();
    return sum;
}

// True once a recovery has run and none is under way: its last line is the
// one that ends a recovery.
bool recoveryFinished(const QString &log)
{
    const qsizetype started = log.lastIndexOf(QLatin1String("Recovery: reading the journal"));
    const qsizetype ended = log.lastIndexOf(QLatin1String("beacons recovered from the journal"));
    return started >= 0 && ended > started;
}

// The last lines of the log that hold one of the words.
QString logLinesWith(const QString &log, const QStringList &words)
{
    constexpr int MostLines = 80;
    QStringList kept;
    for (const QString &line : log.split(QLatin1Char('\n'))) {
        for (const QString &word : words) {
            if (line.contains(word)) {
                kept << line;
                break;
            }
        }
    }
    return kept.mid(qMax(0, int(kept.size()) - MostLines)).join(QLatin1Char('\n'));
}

}  // namespace

class TestOutageRecovery : public QObject
{
    Q_OBJECT
public:
    // A row takes some minutes, more than Qt Test's five for a function.
    TestOutageRecovery() { qputenv("QTEST_FUNCTION_TIMEOUT", "900000"); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyBeaconOnceAfterOutage_data();
    void everyBeaconOnceAfterOutage();

private:
    bool mServersStarted = false;
};

void TestOutageRecovery::initTestCase()
{
    // This process and the bridge find the servers' data sources here.
    qputenv("ODBCSYSINI", KELDAN_SOURCE_DIR "/odbc");
    qputenv("ODBCINI", QFile::encodeName(ServersRoot + QStringLiteral("/odbc.ini")));
    try {
        mServersStarted = true;
        startServers(ServersRoot, FirstPgPort, FirstMariadbPort);
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
}

void TestOutageRecovery::cleanupTestCase()
{
    if (!mServersStarted)
        return;
    try {
        stopServers(ServersRoot);
    } catch (const std::exception &e) {
        qWarning("%s", e.what());
    }
}

void TestOutageRecovery::everyBeaconOnceAfterOutage_data()
{
    addDatabaseRows();
}

void TestOutageRecovery::everyBeaconOnceAfterOutage()
{
    QFETCH(QString, database);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path();
    TestDatabase db = testDatabase(database, folder + QStringLiteral("/outage.sqlite"));
    db.serversRoot = ServersRoot;
    KELDAN_REQUIRE_DATABASE(db);
    try {
        recreateTables(db);
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }

    AprsIsFeed feed;
    QVERIFY(feed.port() != 0);

    // The host's settings in a store of its own; no live page.
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/config/Peak Systems")));
    QFile hostSettings(folder + QStringLiteral("/config/Peak Systems/UI-View32.conf"));
    QVERIFY(hostSettings.open(QIODevice::WriteOnly));
    hostSettings.write("[General]\nFeed=aprs-is://127.0.0.1:" + QByteArray::number(feed.port())
        + "\nCallsign=N0CALL\nPasscode=-1\nTime%20Zone=UTC\nWeb=\n");
    hostSettings.close();
    // The bridge's own settings: this database, every kind stored.
    QFile bridgeSettings(folder + QStringLiteral("/keldan.ini"));
    QVERIFY(bridgeSettings.open(QIODevice::WriteOnly));
    bridgeSettings.write(QStringLiteral("DATABASE=%1\r\nUSERNAME=%2\r\nPASSWORD=%3\r\nDSN=%4\r\n"
                                        "STORE_FIXED=TRUE\r\nSTORE_MOBILE=TRUE\r\nSTORE_WX=TRUE\r\n")
                             .arg(db.database, db.user, db.password, db.dsn)
                             .toUtf8());
    bridgeSettings.close();

    const QString logPath = folder + QStringLiteral("/keldan.err");
    const auto log = [&logPath] { return QString::fromUtf8(readAll(logPath)); };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("JOURNAL_STREAM"));
    QProcess keldan;
    keldan.setProcessEnvironment(environment);
    keldan.setWorkingDirectory(folder);
    keldan.setStandardOutputFile(folder + QStringLiteral("/keldan.out"));
    keldan.setStandardErrorFile(logPath);
    // The bridge ends with this test, also when the test is killed.
    keldan.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    keldan.start(QStringLiteral(KELDAN_BINARY), {QStringLiteral("--program-folder"), folder});
    QVERIFY(keldan.waitForStarted());
    QElapsedTimer running;
    running.start();
    // Kept for a look after a failure.
    const auto keepFolder = qScopeGuard([&dir] {
        if (QTest::currentTestFailed()) {
            dir.setAutoRemove(false);
            qWarning("the bridge's folder and log are kept in %s", qPrintable(dir.path()));
        }
    });

    // Some seconds of normal recording.
    QTRY_VERIFY_WITH_TIMEOUT(feed.connected(), 30'000);
    const qint64 normal = qint64(NormalSeconds) * BeaconsPerSecond;
    QTRY_VERIFY_WITH_TIMEOUT(feed.sentCount() >= normal, 2 * NormalSeconds * 1000);
    QTRY_VERIFY_WITH_TIMEOUT(stationRows(db) > 0, 30'000);

    // The outage, with the feed running throughout.
    Outage outage(db);
    QElapsedTimer outageTime;
    outageTime.start();
    try {
        outage.begin();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    const qsizetype sentAtOutage = feed.sentCount();
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QLatin1String("Buffer full, packet ignored")), OutageSeconds * 1000);
    QTest::qWait(int(qMax<qint64>(0, OutageSeconds * 1000 - outageTime.elapsed())));
    try {
        outage.end();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    const qsizetype sentInOutage = feed.sentCount() - sentAtOutage;
    const qsizetype sentAtReturn = feed.sentCount();
    QTRY_VERIFY_WITH_TIMEOUT(feed.sentCount() >= sentAtReturn + normal, 2 * NormalSeconds * 1000);
    feed.stopSending();
    QVERIFY2(feed.problem().isEmpty(), qPrintable(feed.problem()));
    const QList<SentBeacon> sent = feed.sent();

    // Until the recovery has stored everything, then no recovery under way.
    QElapsedTimer polled;
    qint64 stored = 0;
    const bool complete = QTest::qWaitFor(
        [&] {
            if (!polled.isValid() || polled.elapsed() >= 1000) {
                stored = stationRows(db);
                polled.start();
            }
            return stored >= sent.size();
        },
        300'000);
    const bool settled = QTest::qWaitFor([&] { return recoveryFinished(log()); }, 60'000);
    const qint64 untilStoredMs = running.elapsed();

    keldan.terminate();
    const bool ended = keldan.waitForFinished(30'000);
    const QString text = log();
    if (!ended) {
        keldan.kill();
        keldan.waitForFinished();
    }

    // Every beacon sent: one stations row of its kind, heard when it was
    // sent, and one detail row of the same time, in its kind's table only.
    QHash<QString, QList<QStringList>> stations;
    QHash<QString, QHash<QString, QStringList>> details;
    try {
        for (const QStringList &row : queryRows(db, QStringLiteral("select callsign, dtstamp, type from stations")))
            stations[row.value(0)] << row;
        for (const KindFacts &kind : Kinds)
            details[kind.table] =
                timesByCallsign(db, QStringLiteral("select fk_callsign, fk_dtstamp from %1").arg(kind.table));
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    QStringList missing;
    QStringList duplicated;
    QStringList late;
    QStringList wrongType;
    QStringList withoutDetail;
    QSet<QString> sentCalls;
    for (const SentBeacon &beacon : sent) {
        const QString call = QString::fromLatin1(beacon.callsign);
        sentCalls.insert(call);
        const QString sentAt = QDateTime::fromMSecsSinceEpoch(beacon.sentAtMsUtc, QTimeZone::utc())
                                   .toString(QStringLiteral("HH:mm:ss.zzz"));
        const QString what = QStringLiteral("%1 (%2, sent %3)").arg(call, factsOf(beacon.kind).name, sentAt);
        const QList<QStringList> rows = stations.value(call);
        if (rows.isEmpty()) {
            missing << what;
            continue;
        }
        if (rows.size() > 1) {
            QStringList times;
            for (const QStringList &row : rows)
                times << row.value(1);
            duplicated << what
                    + QStringLiteral(" stored %1 times: %2").arg(rows.size()).arg(times.join(QLatin1String(", ")));
        }
        const QString dtstamp = rows.first().value(1).left(19);
        if (qAbs(dtstampMs(dtstamp) - beacon.sentAtMsUtc) > MostLateMs)
            late << what + QStringLiteral(" stamped %1").arg(dtstamp);
        if (rows.first().value(2) != factsOf(beacon.kind).type)
            wrongType << what + QStringLiteral(" type %1").arg(rows.first().value(2));
        for (const KindFacts &kind : Kinds) {
            const QStringList times = details.value(kind.table).value(call);
            const QStringList expected = &kind == &factsOf(beacon.kind) ? QStringList {dtstamp} : QStringList();
            if (times != expected)
                withoutDetail << what + QStringLiteral(" in %1: [%2]").arg(kind.table, times.join(QLatin1String(", ")));
        }
    }
    QStringList unsent;
    for (auto it = stations.constBegin(); it != stations.constEnd(); ++it) {
        if (!sentCalls.contains(it.key()))
            unsent << it.key();
    }

    const BridgeCounts counts = summaryCounts(text);
    qint64 stationRowCount = 0;
    for (const QList<QStringList> &rows : std::as_const(stations))
        stationRowCount += rows.size();
    qInfo("%s: sent %lld (%lld during the outage), stations rows %lld; the bridge: received %lld, rows written "
          "live %lld, refused %lld, recovered %lld (recovery lines: %lld); all stored after %lld s",
        qPrintable(database), qint64(sent.size()), qint64(sentInOutage), stationRowCount, counts.received,
        counts.stored, counts.refused, counts.recovered, recoveredInLines(text), untilStoredMs / 1000);

    const auto first = [](const QStringList &list) {
        return QStringLiteral("%1: %2").arg(list.size()).arg(list.mid(0, 20).join(QLatin1String("; ")));
    };
    const QString bridgeLines = logLinesWith(text, {QStringLiteral("keldan.bridge"), QStringLiteral("keldan.queue")});
    const QString evidence = QStringLiteral("\nthe bridge's log says:\n") + bridgeLines;
    QVERIFY2(ended, qPrintable(QStringLiteral("the bridge did not end within 30 s of SIGTERM") + evidence));
    QCOMPARE(keldan.exitStatus(), QProcess::NormalExit);
    QCOMPARE(keldan.exitCode(), 0);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("beacons lost, ") + first(missing) + evidence));
    QVERIFY2(duplicated.isEmpty(), qPrintable(QStringLiteral("beacons stored twice, ") + first(duplicated) + evidence));
    QVERIFY2(late.isEmpty(), qPrintable(QStringLiteral("beacons not stamped when heard, ") + first(late) + evidence));
    QVERIFY2(wrongType.isEmpty(), qPrintable(QStringLiteral("beacons of the wrong kind, ") + first(wrongType)));
    QVERIFY2(withoutDetail.isEmpty(),
        qPrintable(QStringLiteral("beacons without their one detail row, ") + first(withoutDetail) + evidence));
    QVERIFY2(unsent.isEmpty(), qPrintable(QStringLiteral("rows of beacons never sent, ") + first(unsent)));
    QVERIFY(complete);
    QVERIFY2(settled, qPrintable(QStringLiteral("a recovery was still under way") + evidence));

    // The queue filled and refused beacons; the recovery stored them.
    QVERIFY2(text.contains(QLatin1String("Buffer full, packet ignored")), qPrintable(evidence));
    QVERIFY2(counts.refused > 0, qPrintable(evidence));
    QVERIFY2(counts.recovered > 0, qPrintable(evidence));
    QCOMPARE(recoveredInLines(text), counts.recovered);
}

QTEST_GUILESS_MAIN(TestOutageRecovery)
#include "tst_outagerecovery.moc"

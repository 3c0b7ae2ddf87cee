// The healing link without a server: every kind of failure injected into
// LinkHealer through a stand-in database link, the back-off, a poisoned
// statement, and a row that went in before its connection was lost. Then the
// same road on a real SQLite file that is locked, full or read-only.

#include "TestDatabases.h"
#include "db/DatabaseLink.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "host/BackOff.h"
#include "recording/BeaconRecorder.h"
#include "recording/LinkHealer.h"
#include "recording/StationStatements.h"
#include "support/SampleReadings.h"
#include "support/ScriptedBeaconRecord.h"
#include "support/ScriptedHost.h"
#include "support/WidgetRecorderView.h"

#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

using S = StationStatements;

// Stands in for the database: every statement that starts with failOn fails
// with failure while it is set; the others go in.
class FaultyLink : public DatabaseLink
{
public:
    std::optional<OdbcError> failure;
    QString failOn = QStringLiteral("insert");
    QString dbms = QStringLiteral("SQLite");
    bool rowThere = false;
    QStringList stored;
    QStringList probes;

    void execute(const QString &statement) override
    {
        if (failure && statement.startsWith(failOn))
            throw *failure;
        stored << statement;
    }
    SqlDialect dialect() const override { return SqlDialect::Standard; }
    bool connected() const override { return true; }
    bool connectionDead() const override { return false; }
    QString dbmsName() const override { return dbms; }
    bool anyRow(const QString &select) override
    {
        probes << select;
        return rowThere;
    }
};

OdbcError failureOf(const QString &sqlState, qint32 native, const QString &message = QStringLiteral("injected"))
{
    return OdbcError(QStringLiteral("SQLExecDirect"), {{sqlState, native, message}});
}

}  // namespace

class TestLinkHealer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void failureThatMayPassKeepsTheBeacon_data();
    void failureThatMayPassKeepsTheBeacon();
    void backOffDoublesUpToItsCap();
    void theRetryTimerFollowsTheTimeScale();
    void poisonedStatementIsGivenUp_data();
    void poisonedStatementIsGivenUp();
    void rowStoredBeforeTheLossIsNotWrittenTwice_data();
    void rowStoredBeforeTheLossIsNotWrittenTwice();

    void sqliteFaultKeepsTheBeacon_data();
    void sqliteFaultKeepsTheBeacon();

private:
    std::unique_ptr<WidgetRecorderView> mView;
    std::unique_ptr<ScriptedHost> mHost;
    std::unique_ptr<FaultyLink> mLink;
    int mReconnects = 0;
    std::unique_ptr<LinkHealer> mHealer;
    std::unique_ptr<BeaconRecorder> mRecorder;
};

void TestLinkHealer::init()
{
    mView = std::make_unique<WidgetRecorderView>();
    mHost = std::make_unique<ScriptedHost>();
    mLink = std::make_unique<FaultyLink>();
    mReconnects = 0;
    mHealer = std::make_unique<LinkHealer>(*mLink, [this] {
        ++mReconnects;
        return true;
    });
    mHealer->setShowStatus([this](const QString &caption) { mView->setStatus(caption); });
    mRecorder = std::make_unique<BeaconRecorder>(*mView, *mHealer);
    mRecorder->attachHost(mHost.get());
}

void TestLinkHealer::cleanup()
{
    mRecorder.reset();
    mHealer.reset();
    mLink.reset();
    mHost.reset();
    mView.reset();
}

void TestLinkHealer::failureThatMayPassKeepsTheBeacon_data()
{
    QTest::addColumn<QString>("dbms");
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<qint32>("native");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("kept");

    // Each kind once; tst_odbcerror holds the drivers' whole table.
    QTest::addRow("lost connection") << "MariaDB"
                                     << "HY000" << 2013 << "Lost connection to server during query" << true;
    QTest::addRow("query timeout") << "PostgreSQL"
                                   << "57014" << 7 << "canceling statement due to statement timeout" << true;
    QTest::addRow("sqlite busy") << "SQLite"
                                 << "HY000" << 5 << "database is locked (5)" << true;
    QTest::addRow("disk full") << "SQLite"
                               << "HY000" << 13 << "database or disk is full (13)" << true;
    QTest::addRow("read-only") << "PostgreSQL"
                               << "25006" << 7 << "cannot execute INSERT in a read-only transaction" << true;
    QTest::addRow("server shutting down") << "MariaDB"
                                          << "08S01" << 1053 << "Server shutdown in progress" << true;
    QTest::addRow("no such table") << "SQLite"
                                   << "HY000" << 1 << "no such table: stations (1)" << false;
    QTest::addRow("syntax error") << "MariaDB"
                                  << "42000" << 1064 << "You have an error in your SQL syntax" << false;
    QTest::addRow("value rejected") << "PostgreSQL"
                                    << "22P02" << 7 << "invalid input syntax for type double" << false;
    // SQLite's 5 is no lock on another driver.
    QTest::addRow("psqlODBC's own 5") << "PostgreSQL"
                                      << "07009" << 5 << "invalid column number" << false;
}

// The beacon's statements are kept together, the drain stops, the status
// line reads as always, and the reopened link stores them in order.
void TestLinkHealer::failureThatMayPassKeepsTheBeacon()
{
    QFETCH(QString, dbms);
    QFETCH(QString, sqlState);
    QFETCH(qint32, native);
    QFETCH(QString, message);
    QFETCH(bool, kept);
    mLink->dbms = dbms;
    mLink->failure = failureOf(sqlState, native, message);

    mRecorder->processBeacon(sampleBeacon(StationType::Fixed));
    QCOMPARE(mView->statusHistory, (QStringList {S::StationsMessage, S::FixedMessage}));
    QCOMPARE(mHealer->mayDrain(), !kept);
    QCOMPARE(mHealer->keptStatements().size(), kept ? 2 : 0);
    QCOMPARE(mHealer->retryDelayMs(), kept ? BackOff::FirstDelaySeconds * 1000 : 0);
    if (!kept) {
        QCOMPARE(mHealer->failureLog().failures(), 2);
        return;
    }
    QVERIFY(mHealer->keptStatements().at(0).startsWith(QLatin1String("insert into stations ")));
    QVERIFY(mHealer->keptStatements().at(1).startsWith(QLatin1String("insert into fixed_data ")));

    mLink->failure.reset();
    mHealer->attemptReconnect();
    QCOMPARE(mReconnects, 1);
    QVERIFY(mHealer->mayDrain());
    QCOMPARE(mHealer->retryDelayMs(), 0);
    QCOMPARE(mLink->stored.size(), 2);
    QVERIFY(mLink->stored.at(0).startsWith(QLatin1String("insert into stations ")));
    QCOMPARE(mHealer->stored(), 2);
}

// 5, 10, 20, 40, then 60 s for as long as the link stays down.
void TestLinkHealer::backOffDoublesUpToItsCap()
{
    BackOff backOff;
    QList<int> delaysSeconds;
    for (int i = 0; i < 7; ++i)
        delaysSeconds << backOff.takeDelaySeconds();
    QCOMPARE(delaysSeconds, (QList<int> {5, 10, 20, 40, 60, 60, 60}));

    // The healer's waits while no logon succeeds.
    mHealer = std::make_unique<LinkHealer>(*mLink, [] { return false; });
    mRecorder = std::make_unique<BeaconRecorder>(*mView, *mHealer);
    mLink->failure = failureOf(QStringLiteral("08S01"), 0);
    mRecorder->processBeacon(sampleBeacon(StationType::Mobile));
    QList<int> delaysMs = {mHealer->retryDelayMs()};
    for (int i = 0; i < 6; ++i) {
        mHealer->attemptReconnect();
        delaysMs << mHealer->retryDelayMs();
    }
    QCOMPARE(delaysMs, (QList<int> {5'000, 10'000, 20'000, 40'000, 60'000, 60'000, 60'000}));
    QCOMPARE(mHealer->keptStatements().size(), 2);
}

void TestLinkHealer::theRetryTimerFollowsTheTimeScale()
{
    mHealer->backOff().setTimeScale(1);
    mLink->failure = failureOf(QStringLiteral("HY000"), 5, QStringLiteral("database is locked (5)"));
    mRecorder->processBeacon(sampleBeacon(StationType::Mobile));
    QCOMPARE(mHealer->retryDelayMs(), 5);
    QTRY_VERIFY(mReconnects >= 3);
    QVERIFY(!mHealer->mayDrain());
    mLink->failure.reset();
    QTRY_VERIFY(mHealer->mayDrain());
    QCOMPARE(mLink->stored.size(), 2);
}

void TestLinkHealer::poisonedStatementIsGivenUp_data()
{
    QTest::addColumn<QString>("failOn");
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<qint32>("native");
    QTest::addColumn<bool>("givenUp");
    QTest::addColumn<int>("stored");

    // The stations row takes its detail with it.
    QTest::addRow("stations row drops the connection") << "insert into stations"
                                                       << "HY000" << 2013 << true << 0;
    QTest::addRow("detail row drops the connection") << "insert into fixed_data"
                                                     << "08S01" << 0 << true << 1;
    QTest::addRow("detail row times out") << "insert into fixed_data"
                                          << "HYT00" << 0 << true << 1;
    // A lock is the database's state, not the statement's: it waits.
    QTest::addRow("stations row locked") << "insert into stations"
                                         << "55P03" << 7 << false << 0;
}

// A statement that fails the same way on three reopened links in a row
// stops the station no longer: it is given up with its table's message.
void TestLinkHealer::poisonedStatementIsGivenUp()
{
    QFETCH(QString, failOn);
    QFETCH(QString, sqlState);
    QFETCH(qint32, native);
    QFETCH(bool, givenUp);
    QFETCH(int, stored);
    mLink->dbms = QStringLiteral("MariaDB");
    mLink->failOn = failOn;
    mLink->failure = failureOf(sqlState, native);

    mRecorder->processBeacon(sampleBeacon(StationType::Fixed));
    QVERIFY(!mHealer->mayDrain());
    mView->statusHistory.clear();
    for (int i = 1; i < LinkHealer::GiveUpAfterTries; ++i) {
        mHealer->attemptReconnect();
        QVERIFY(!mHealer->mayDrain());
    }
    mHealer->attemptReconnect();
    QCOMPARE(mHealer->mayDrain(), givenUp);
    QCOMPARE(mLink->stored.size(), stored);
    if (!givenUp)
        return;
    // Each row not written shows its table's message, as when it failed at once.
    const QStringList messages = failOn.contains(QLatin1String("stations"))
        ? QStringList {S::StationsMessage, S::FixedMessage}
        : QStringList {S::FixedMessage};
    QCOMPARE(mView->statusHistory, messages);
    QCOMPARE(mHealer->retryDelayMs(), 0);
    // The next beacon goes its own way.
    mLink->failure.reset();
    mRecorder->processBeacon(sampleBeacon(StationType::Fixed));
    QCOMPARE(mLink->stored.size(), stored + 2);
}

void TestLinkHealer::rowStoredBeforeTheLossIsNotWrittenTwice_data()
{
    QTest::addColumn<bool>("rowThere");
    QTest::addRow("committed before the loss") << true;
    QTest::addRow("lost with the connection") << false;
}

// MariaDB's 2013: the server may have committed the insert before the
// connection went. Its callsign and time tell.
void TestLinkHealer::rowStoredBeforeTheLossIsNotWrittenTwice()
{
    QFETCH(bool, rowThere);
    mLink->dbms = QStringLiteral("MariaDB");
    mLink->failOn = QStringLiteral("insert into stations");
    mLink->failure = failureOf(QStringLiteral("HY000"), 2013, QStringLiteral("Lost connection to server during query"));
    auto beacon = sampleBeacon(StationType::Fixed);
    beacon->fields.callsign = QStringLiteral("O'BR-1");
    mRecorder->processBeacon(beacon);
    QCOMPARE(mHealer->keptStatements().size(), 2);

    mLink->failure.reset();
    mLink->rowThere = rowThere;
    mHealer->attemptReconnect();
    QVERIFY(mHealer->mayDrain());
    QCOMPARE(mLink->probes,
        QStringList {"select 1 from stations where callsign = 'O''BR-1' and dtstamp = '2004-05-06 14:30:00'"});
    QCOMPARE(mLink->stored.size(), rowThere ? 1 : 2);
    QVERIFY(mLink->stored.last().startsWith(QLatin1String("insert into fixed_data ")));
}

void TestLinkHealer::sqliteFaultKeepsTheBeacon_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addRow("locked by another writer") << "locked";
    QTest::addRow("disk full") << "full";
    QTest::addRow("read-only") << "read-only";
}

// The real driver: a beacon that meets the fault is kept, no detail row goes
// in without its stations row, and all is stored once the fault is gone.
void TestLinkHealer::sqliteFaultKeepsTheBeacon()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const TestDatabase db = testDatabase(QStringLiteral("sqlite"), dir.filePath(QStringLiteral("keldan.db")));
    recreateTables(db);
    DatabaseLink link;
    auto logon = [&] {
        try {
            link.logon(db.dsn, db.user, db.password, db.database, *mView);
        } catch (const OdbcError &e) {
            qWarning("%s", qPrintable(e.describe()));
        }
        return link.connected();
    };
    QVERIFY(logon());
    LinkHealer healer(link, [&] {
        link.logOff(*mView);
        return logon();
    });
    BeaconRecorder recorder(*mView, healer);
    auto count = [&](const char *table) {
        return queryRows(db, QStringLiteral("select count(*) from %1").arg(QLatin1String(table)))
            .value(0)
            .value(0)
            .toInt();
    };

    OdbcConnection holder(QStringLiteral("holder"));
    if (fault == QLatin1String("locked")) {
        holder.open(db.connectionString());
        holder.execute(QStringLiteral("begin exclusive"));
    } else if (fault == QLatin1String("read-only")) {
        link.execute(QStringLiteral("pragma query_only = 1"));
    } else {
        // No page more than the file has: the tables fill up within a few
        // hundred rows. A new connection lifts the limit.
        const int pages = queryRows(db, QStringLiteral("pragma page_count")).value(0).value(0).toInt();
        link.execute(QStringLiteral("pragma max_page_count = %1").arg(pages));
    }
    int beacons = 0;
    const int most = fault == QLatin1String("full") ? 2000 : 1;
    while (beacons < most && healer.mayDrain()) {
        mView->statusHistory.clear();
        auto beacon = sampleBeacon(StationType::Fixed);
        beacon->fields.timeA = SampleStamp.addSecs(beacons++);
        beacon->fields.statusText = QString(200, QLatin1Char('s'));
        recorder.processBeacon(beacon);
        if (mView->statusHistory.contains(S::StationsMessage) || mView->statusHistory.contains(S::FixedMessage))
            break;
    }
    qInfo("%s after %d beacons: %s", qPrintable(fault), beacons, qPrintable(mView->statusHistory.join(" / ")));
    QVERIFY(!mView->statusHistory.isEmpty());
    QVERIFY2(!healer.mayDrain(), "the beacon was not kept");
    // No detail row without its stations row (the other way round waits).
    QVERIFY2(count("fixed_data") <= count("stations"), qPrintable(QString::number(count("fixed_data"))));

    if (holder.isOpen())
        holder.execute(QStringLiteral("commit"));
    healer.attemptReconnect();
    QVERIFY(healer.mayDrain());
    QCOMPARE(count("stations"), beacons);
    QCOMPARE(count("fixed_data"), beacons);
}

QTEST_MAIN(TestLinkHealer)
#include "tst_linkhealer.moc"

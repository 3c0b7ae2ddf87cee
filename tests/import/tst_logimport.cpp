// keldan-import on SQLite, PostgreSQL and MariaDB: the rows are those the
// bridge's own road writes beacon by beacon, every line is accounted for, a
// refused statement costs only its own row, a stop keeps what was committed,
// and a beacon already stored is not stored again.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "host/WeatherReadings.h"
#include "import/BatchExecutor.h"
#include "import/ImportClock.h"
#include "import/ImportView.h"
#include "import/LogImporter.h"
#include "import/LogLineParser.h"
#include "linuxhost/LinuxHost.h"
#include "recording/BeaconRecorder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ctime>
#include <zlib.h>

namespace {

const QString DayLog = QStringLiteral(KELDAN_TEST_DATA "/import/day.log");

// Each table's rows in the order written (%1: the row number's column), which
// is what pairs a detail row with its stations row in the views.
const QStringList Dumps = {
    QStringLiteral("select callsign, dtstamp, type, distance, lat, lon, heard_direct, radio_port, symbol, object_owner "
                   "from stations order by %1"),
    QStringLiteral("select fk_callsign, fk_dtstamp, status, comment, path from fixed_data order by %1"),
    QStringLiteral("select fk_callsign, fk_dtstamp, height, speed, path, course from mobile_data order by %1"),
    QStringLiteral("select fk_callsign, fk_dtstamp, pressure, dewpoint, humidity, rain_24hours, rain_last_hour, "
                   "rain_today, temp, wind_chill, wind_direction, wind_gust, wind_speed from wx_data order by %1")};

const QString SampleLog = QStringLiteral(KELDAN_TEST_DATA "/aprs/aprs-sample.tnc2");

// The sample's packets copies times over, a second apart: no two beacons of
// a station share a time stamp, so each is a beacon of its own.
void writeSampleCopies(const QString &path, int copies)
{
    QFile sample(SampleLog);
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QList<QByteArray> packets = sample.readAll().split('\n');
    QFile log(path);
    QVERIFY(log.open(QIODevice::WriteOnly));
    QDateTime stamp(QDate(2024, 1, 1), QTime(0, 0));
    for (int copy = 0; copy < copies; ++copy) {
        QByteArray block;
        for (const QByteArray &packet : packets) {
            if (packet.isEmpty())
                continue;
            block += stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")).toLatin1() + packet + '\n';
            stamp = stamp.addSecs(1);
        }
        log.write(block);
    }
}

HostSettings hostSettings()
{
    HostSettings settings;
    settings.latitudeDeg = 51.0;
    settings.longitudeDeg = 8.0;
    return settings;
}

class NoWindow : public RecorderView
{
public:
    int checkValue(int checkNumber) const override { return checkNumber == 4 ? 0 : 1; }
    void setLatestData(int, const QString &) override { }
    void setStatus(const QString &caption) override
    {
        if (!caption.isEmpty())
            failures << caption;
    }
    QStringList failures;
};

}  // namespace

class TestLogImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void storesWhatTheBridgeStores_data();
    void storesWhatTheBridgeStores();

    void refusedStatementsAreLeftOut_data();
    void refusedStatementsAreLeftOut();

    void timesInTheHostsZone_data();
    void timesInTheHostsZone();

    void bulkRowsAreTheLiveRows_data();
    void bulkRowsAreTheLiveRows();

    void importedTwiceStoresOnce_data();
    void importedTwiceStoresOnce();

    void stoppedImportRunAgainStoresTheRest_data();
    void stoppedImportRunAgainStoresTheRest();

    void readsSeveralFilesInTimeOrder();
    void signalStopKeepsWhatIsCommitted();

private:
    void addDatabaseRows();
    void useDatabase(const QString &name);
    ImportSummary import(const QStringList &files, HostSettings::TimeZone zone = HostSettings::TimeZone::Local,
        Qt::TimeSpec stampSpec = Qt::LocalTime, int beaconsPerTransaction = 4);
    // The day's log beacon by beacon, the bridge's way: the Linux host at
    // each line's time, the recorder, one autocommit statement after another.
    void storeBeaconByBeacon(const QString &path);
    QList<QList<QStringList>> dump() const;

    std::unique_ptr<QTemporaryDir> mDir;
    TestDatabase mDb;
};

void TestLogImport::initTestCase()
{
    // Central European time, two hours ahead of UTC in May, on any machine.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
}

void TestLogImport::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
}

void TestLogImport::cleanup()
{
    mDir.reset();
}

void TestLogImport::addDatabaseRows()
{
    QTest::addColumn<QString>("database");
    for (const char *name : {"sqlite", "postgres", "mariadb"})
        QTest::addRow("%s", name) << QString::fromLatin1(name);
}

void TestLogImport::useDatabase(const QString &name)
{
    mDb = testDatabase(name, mDir->filePath(QStringLiteral("keldan.db")));
    KELDAN_REQUIRE_DATABASE(mDb);
    recreateTables(mDb);
}

ImportSummary TestLogImport::import(
    const QStringList &files, HostSettings::TimeZone zone, Qt::TimeSpec stampSpec, int beaconsPerTransaction)
{
    OdbcConnection connection(QStringLiteral("import"));
    connection.open(mDb.connectionString());
    LogImporter::Options options;
    // By default 4: several transactions, and one left open at the end.
    options.beaconsPerTransaction = beaconsPerTransaction;
    options.stampSpec = stampSpec;
    HostSettings settings = hostSettings();
    settings.timeZone = zone;
    LogImporter importer(settings, connection, options);
    const ImportSummary summary = importer.run(LogImporter::inTimeOrder(files, options.stampSpec));
    connection.close();
    return summary;
}

void TestLogImport::storeBeaconByBeacon(const QString &path)
{
    OdbcConnection connection(QStringLiteral("live"));
    connection.open(mDb.connectionString());
    auto clock = std::make_shared<ImportClock>();
    LinuxHost host(hostSettings());
    host.setClock(clock);
    NoWindow view;
    BeaconRecorder recorder(view, connection);
    recorder.attachHost(&host);
    recorder.weatherRecord() = std::make_shared<WeatherReadings>();
    connect(&host, &HostApplication::NotifyBeaconData, &host,
        [&](const BeaconRecordRef &beacon) { recorder.processBeacon(beacon); });

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const LogLineParser parser;
    while (!file.atEnd()) {
        const LogLineParser::Line line = parser.parse(file.readLine());
        if (line.kind != LogLineParser::Kind::Packet)
            continue;
        clock->setLineTime(line.time);
        host.takePacket(line.packet, 0);
    }
    QCOMPARE(view.failures, QStringList());
}

QList<QList<QStringList>> TestLogImport::dump() const
{
    const QString rowNumber = mDb.name == QLatin1String("sqlite") ? QStringLiteral("rowid") : QStringLiteral("id");
    QList<QList<QStringList>> tables;
    for (const QString &select : Dumps)
        tables << queryRows(mDb, select.arg(rowNumber));
    return tables;
}

void TestLogImport::storesWhatTheBridgeStores_data()
{
    addDatabaseRows();
}

void TestLogImport::storesWhatTheBridgeStores()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;

    const ImportSummary summary = import({DayLog});
    QCOMPARE(summary.problems, QStringList());
    QCOMPARE(summary.lines, 21);
    QCOMPARE(summary.skipped, 2);  // the comment, aprx's T line
    QCOMPARE(summary.bad, 1);
    QCOMPARE(summary.packets, 18);
    QCOMPARE(summary.duplicates, 1);  // DB0XYZ again after 10 s; after 91 min it is a beacon
    QCOMPARE(summary.undecodable, 1);
    QCOMPARE(summary.remembered, 1);  // DL3FIX's status
    QCOMPARE(summary.beacons, 15);
    QCOMPARE(summary.stored, 15);
    QCOMPARE(summary.refused + summary.excluded + summary.notRecorded + summary.uncommitted, 0);
    QCOMPARE(summary.transactions, 4);
    QVERIFY(!summary.interrupted);

    const QList<QList<QStringList>> imported = dump();
    QCOMPARE(imported.at(0).size(), 15);
    QCOMPARE(imported.at(1).size() + imported.at(2).size() + imported.at(3).size(), 15);
    // The status text heard before the beacon, kept by the host across lines.
    QCOMPARE(queryRows(mDb,
                 QStringLiteral("select status from fixed_data where fk_callsign = 'DL3FIX' "
                                "order by fk_dtstamp")),
        (QList<QStringList> {{QString()}, {QStringLiteral("at home all day")}}));

    recreateTables(mDb);
    storeBeaconByBeacon(DayLog);
    QCOMPARE(dump(), imported);
}

void TestLogImport::refusedStatementsAreLeftOut_data()
{
    addDatabaseRows();
}

void TestLogImport::refusedStatementsAreLeftOut()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;
    // Every mobile_data insert fails; on PostgreSQL each failure also aborts
    // the transaction it is in.
    {
        OdbcConnection connection(QStringLiteral("drop"));
        connection.open(mDb.connectionString());
        connection.execute(QStringLiteral("DROP VIEW mobile_beacons"));
        connection.execute(QStringLiteral("DROP TABLE mobile_data"));
        connection.close();
    }

    const ImportSummary summary = import({DayLog});
    QCOMPARE(summary.problems, QStringList());
    QCOMPARE(summary.beacons, 15);
    QCOMPARE(summary.refused, 6);
    QCOMPARE(summary.stored, 9);
    QCOMPARE(summary.refusals.size(), 1);
    QCOMPARE(summary.refusals.first(), 6);
    QCOMPARE(queryRows(mDb, QStringLiteral("select count(*) from stations")).value(0).value(0), QStringLiteral("15"));
    QCOMPARE(queryRows(mDb, QStringLiteral("select count(*) from fixed_data")).value(0).value(0), QStringLiteral("4"));
    QCOMPARE(queryRows(mDb, QStringLiteral("select count(*) from wx_data")).value(0).value(0), QStringLiteral("5"));
}

void TestLogImport::timesInTheHostsZone_data()
{
    QTest::addColumn<QByteArray>("stamp");
    QTest::addColumn<int>("stampSpec");
    QTest::addColumn<int>("zone");
    QTest::addColumn<QString>("dtstamp");
    const int local = int(HostSettings::TimeZone::Local);
    const int utc = int(HostSettings::TimeZone::Utc);
    QTest::addRow("local stamp, local rows")
        << QByteArray("2024-05-06 12:00:00") << int(Qt::LocalTime) << local << "2024-05-06 12:00:00";
    QTest::addRow("local stamp, UTC rows")
        << QByteArray("2024-05-06 12:00:00") << int(Qt::LocalTime) << utc << "2024-05-06 10:00:00";
    QTest::addRow("UTC stamp, local rows")
        << QByteArray("2024-05-06T10:00:00Z") << int(Qt::LocalTime) << local << "2024-05-06 12:00:00";
    QTest::addRow("offset stamp, UTC rows")
        << QByteArray("2024-05-06T13:00:00+03:00") << int(Qt::LocalTime) << utc << "2024-05-06 10:00:00";
    QTest::addRow("log written in UTC, local rows")
        << QByteArray("2024-05-06 10:00:00") << int(Qt::UTC) << local << "2024-05-06 12:00:00";
    QTest::addRow("log written in UTC, UTC rows")
        << QByteArray("2024-05-06 10:00:00") << int(Qt::UTC) << utc << "2024-05-06 10:00:00";
}

void TestLogImport::timesInTheHostsZone()
{
    QFETCH(QByteArray, stamp);
    QFETCH(int, stampSpec);
    QFETCH(int, zone);
    QFETCH(QString, dtstamp);
    useDatabase(QStringLiteral("sqlite"));
    const QString path = mDir->filePath(QStringLiteral("one.log"));
    QFile log(path);
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write(stamp + " N0CALL>APRS:!5130.00N/00007.50W-\n");
    log.close();
    QCOMPARE(import({path}, HostSettings::TimeZone(zone), Qt::TimeSpec(stampSpec)).stored, 1);
    QCOMPARE(queryRows(mDb, QStringLiteral("select dtstamp from stations")), QList<QStringList> {{dtstamp}});
}

void TestLogImport::bulkRowsAreTheLiveRows_data()
{
    addDatabaseRows();
}

// The sample's texts (apostrophes, backslashes, every station kind) in batches
// larger than one multi-row INSERT holds.
void TestLogImport::bulkRowsAreTheLiveRows()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;
    const QString path = mDir->filePath(QStringLiteral("sample.log"));
    writeSampleCopies(path, 1);
    if (QTest::currentTestFailed())
        return;

    const ImportSummary summary = import({path}, HostSettings::TimeZone::Local, Qt::LocalTime, 5000);
    QCOMPARE(summary.problems, QStringList());
    QVERIFY(summary.beacons > BatchExecutor::RowsPerStatement);
    QCOMPARE(summary.stored, summary.beacons);
    QCOMPARE(summary.transactions, 1);
    const QList<QList<QStringList>> imported = dump();
    QCOMPARE(imported.at(0).size(), summary.beacons);

    recreateTables(mDb);
    storeBeaconByBeacon(path);
    QCOMPARE(dump(), imported);
}

void TestLogImport::importedTwiceStoresOnce_data()
{
    addDatabaseRows();
}

void TestLogImport::importedTwiceStoresOnce()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(import({DayLog}).stored, 15);
    const QList<QList<QStringList>> once = dump();

    const ImportSummary again = import({DayLog});
    QCOMPARE(again.problems, QStringList());
    QCOMPARE(again.beacons, 15);
    QCOMPARE(again.stored, 0);
    QCOMPARE(again.alreadyStored, 15);
    QCOMPARE(again.refused + again.uncommitted, 0);
    QCOMPARE(again.transactions, 0);
    QVERIFY2(again.text().contains(QLatin1String("already stored:")), qPrintable(again.text()));
    QCOMPARE(dump(), once);
}

void TestLogImport::stoppedImportRunAgainStoresTheRest_data()
{
    addDatabaseRows();
}

// A stop leaves the lines up to some point committed; the import run again
// stores the rest, each row once, as one import would have.
void TestLogImport::stoppedImportRunAgainStoresTheRest()
{
    QFETCH(QString, database);
    useDatabase(database);
    if (QTest::currentTestFailed())
        return;
    QFile day(DayLog);
    QVERIFY(day.open(QIODevice::ReadOnly));
    const QString start = mDir->filePath(QStringLiteral("start.log"));
    QFile startFile(start);
    QVERIFY(startFile.open(QIODevice::WriteOnly));
    // Up to DL1ABC-9's two beacons of 10:00:00 at two positions: the first
    // is stored, the second is not yet.
    startFile.write(day.readAll().split('\n').mid(0, 9).join('\n') + '\n');
    startFile.close();

    const ImportSummary first = import({start});
    QCOMPARE(first.stored, 7);
    const ImportSummary rest = import({DayLog});
    QCOMPARE(rest.problems, QStringList());
    QCOMPARE(rest.alreadyStored, first.stored);
    QCOMPARE(rest.stored, 15 - first.stored);
    const QList<QList<QStringList>> twoRuns = dump();

    recreateTables(mDb);
    QCOMPARE(import({DayLog}).stored, 15);
    QCOMPARE(twoRuns, dump());
}

void TestLogImport::readsSeveralFilesInTimeOrder()
{
    useDatabase(QStringLiteral("sqlite"));
    QFile day(DayLog);
    QVERIFY(day.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = day.readAll().split('\n');

    // The later half gzip-compressed and named first; the earlier half plain.
    const QString early = mDir->filePath(QStringLiteral("early.log"));
    const QString late = mDir->filePath(QStringLiteral("late.log.gz"));
    QFile earlyFile(early);
    QVERIFY(earlyFile.open(QIODevice::WriteOnly));
    earlyFile.write(lines.mid(0, 8).join('\n') + '\n');
    earlyFile.close();
    gzFile gz = gzopen(QFile::encodeName(late).constData(), "wb");
    QVERIFY(gz);
    const QByteArray rest = lines.mid(8).join('\n');
    QCOMPARE(gzwrite(gz, rest.constData(), unsigned(rest.size())), int(rest.size()));
    QCOMPARE(gzclose(gz), Z_OK);

    QCOMPARE(LogImporter::inTimeOrder({late, early}, Qt::LocalTime), (QStringList {early, late}));
    const ImportSummary summary = import({late, early});
    QCOMPARE(summary.files, (QStringList {early, late}));
    QCOMPARE(summary.problems, QStringList());
    QCOMPARE(summary.lines, 21);
    QCOMPARE(summary.stored, 15);
    const QList<QList<QStringList>> split = dump();

    recreateTables(mDb);
    import({DayLog});
    QCOMPARE(split, dump());
}

void TestLogImport::signalStopKeepsWhatIsCommitted()
{
    useDatabase(QStringLiteral("sqlite"));
    // The sample log many times over.
    const int copies = 50;
    const QString big = mDir->filePath(QStringLiteral("big.log"));
    writeSampleCopies(big, copies);
    if (QTest::currentTestFailed())
        return;

    QProcess importer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), mDir->path());
    importer.setProcessEnvironment(environment);
    importer.setWorkingDirectory(mDir->path());
    importer.start(QStringLiteral(KELDAN_IMPORT_BIN),
        {QStringLiteral("--dsn"), mDb.dsn, QStringLiteral("--database"), mDb.database, QStringLiteral("--user"),
            mDb.user, QStringLiteral("--batch"), QStringLiteral("200"), big});
    QVERIFY(importer.waitForStarted());
    // Stopped once the first transactions are in.
    bool committed = false;
    while (!committed && importer.state() == QProcess::Running) {
        QTest::qWait(20);
        committed = queryRows(mDb, QStringLiteral("select count(*) from stations")).value(0).value(0).toInt() > 0;
    }
    QVERIFY2(committed, "the import ended before its first commit was seen");
    ::kill(pid_t(importer.processId()), SIGINT);
    QVERIFY(importer.waitForFinished(60'000));
    const QString output = QString::fromLocal8Bit(importer.readAllStandardOutput());
    QCOMPARE(importer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(importer.exitCode(), 130);
    QVERIFY2(output.startsWith(QLatin1String("Stopped by a signal")), qPrintable(output));

    // What the summary counts as stored is what the tables hold.
    const auto count = [](const QString &text, const QString &label) {
        const qsizetype at = text.indexOf(label);
        return at < 0 ? qint64(-1)
                      : text.mid(at + label.size(), text.indexOf(QLatin1Char('\n'), at) - at - label.size())
                            .trimmed()
                            .toLongLong();
    };
    const qint64 stored = count(output, QStringLiteral("  stored:"));
    QVERIFY(stored > 0);
    QCOMPARE(queryRows(mDb, QStringLiteral("select count(*) from stations")).value(0).value(0).toLongLong(), stored);

    // Run again, it stores the rest, and each beacon once.
    importer.start(importer.program(), importer.arguments());
    QVERIFY(importer.waitForFinished(120'000));
    const QString again = QString::fromLocal8Bit(importer.readAllStandardOutput());
    QCOMPARE(importer.exitCode(), 0);
    const qint64 beacons = count(again, QStringLiteral("  beacons:"));
    QVERIFY2(stored < beacons, "the import was not stopped");
    QCOMPARE(count(again, QStringLiteral("already stored:")), stored);
    QCOMPARE(count(again, QStringLiteral("  stored:")), beacons - stored);
    QCOMPARE(queryRows(mDb, QStringLiteral("select count(*) from stations")).value(0).value(0).toLongLong(), beacons);
}

QTEST_GUILESS_MAIN(TestLogImport)
#include "tst_logimport.moc"

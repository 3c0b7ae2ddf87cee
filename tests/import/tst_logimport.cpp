// keldan-import on SQLite, PostgreSQL and MariaDB: the rows are those the
// bridge's own road writes beacon by beacon, every line is accounted for, a
// refused statement costs only its own row, a stop keeps what was committed,
// and a beacon already stored is not stored again.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "host/WeatherReadings.h"
#include "import/ImportClock.h"
#include "import/ImportView.h"
#include "import/LogImporter.h"
#include "import/LogLineParser.h"
#include "linuxhost/LinuxHost.h"
#include "recording/BatchExecutor.h"
#include "recording/BeaconRecorder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ctime>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
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

// The sample's packets as aprx's rf log writes them: control bytes as
// <0xNN>, bytes above 0x7f sign-extended (<0xffffffce>), a port and R.
// plain gets the same packets after the same stamps, bytes as they are.
QByteArray aprxLog(QByteArray *plain)
{
    QFile sample(QStringLiteral(KELDAN_TEST_DATA "/aprs/aprs-sample.tnc2"));
    if (!sample.open(QIODevice::ReadOnly))
        return {};
    QByteArray aprx;
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0));
    int n = 0;
    for (const QByteArray &packet : sample.readAll().split('\n')) {
        if (packet.isEmpty())
            continue;
        const QByteArray stamp = start.addSecs(n++).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")).toLatin1();
        QByteArray escaped;
        for (const char c : packet) {
            const auto byte = quint8(c);
            if (byte < 0x20 || byte == 0x7f)
                escaped += "<0x" + QByteArray::number(byte, 16).rightJustified(2, '0') + '>';
            else if (byte > 0x7f)
                escaped += "<0xffffff" + QByteArray::number(byte, 16) + '>';
            else
                escaped += c;
        }
        aprx += stamp + "DB0ABC    R " + escaped + '\n';
        *plain += stamp + packet + '\n';
    }
    return aprx;
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
    void signalStopKeepsWhatIsCommitted_data();
    void signalStopKeepsWhatIsCommitted();

    void readsAPipeOnce();
    void aprxEscapesAreBytes();
    void fileStandardInputAndNamedPipeStoreTheSameRows();
    void rejectsFileGivesEveryLineItsReason();
    void journalLinesKeepTheirRadioPort();
    void signalEndsAReadWaitingOnAPipe();

private:
    void useDatabase(const QString &name);
    ImportSummary import(const QStringList &files, HostSettings::TimeZone zone = HostSettings::TimeZone::Local,
        Qt::TimeSpec stampSpec = Qt::LocalTime, int beaconsPerTransaction = 4, const QString &rejects = QString());
    // keldan-import on these arguments, standard input from input; its output.
    QString runImporter(const QStringList &files, const QByteArray &input = QByteArray(), int *exitCode = nullptr);
    QString writeFile(const QString &name, const QByteArray &bytes);
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

void TestLogImport::useDatabase(const QString &name)
{
    mDb = testDatabase(name, mDir->filePath(QStringLiteral("keldan.db")));
    KELDAN_REQUIRE_DATABASE(mDb);
    recreateTables(mDb);
}

ImportSummary TestLogImport::import(const QStringList &files, HostSettings::TimeZone zone, Qt::TimeSpec stampSpec,
    int beaconsPerTransaction, const QString &rejects)
{
    OdbcConnection connection(QStringLiteral("import"));
    connection.open(mDb.connectionString());
    LogImporter::Options options;
    // By default 4: several transactions, and one left open at the end.
    options.beaconsPerTransaction = beaconsPerTransaction;
    options.stampSpec = stampSpec;
    options.rejectsPath = rejects;
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

void TestLogImport::signalStopKeepsWhatIsCommitted_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitCode");
    QTest::addRow("SIGINT") << SIGINT << 130;
    QTest::addRow("SIGTERM") << SIGTERM << 143;
}

void TestLogImport::signalStopKeepsWhatIsCommitted()
{
    QFETCH(int, signal);
    QFETCH(int, exitCode);
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
    ::kill(pid_t(importer.processId()), signal);
    QVERIFY(importer.waitForFinished(60'000));
    const QString output = QString::fromLocal8Bit(importer.readAllStandardOutput());
    QCOMPARE(importer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(importer.exitCode(), exitCode);
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

QString TestLogImport::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = mDir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QString TestLogImport::runImporter(const QStringList &files, const QByteArray &input, int *exitCode)
{
    QProcess importer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), mDir->path());
    importer.setProcessEnvironment(environment);
    importer.setWorkingDirectory(mDir->path());
    importer.start(QStringLiteral(KELDAN_IMPORT_BIN),
        QStringList {QStringLiteral("--dsn"), mDb.dsn, QStringLiteral("--database"), mDb.database,
            QStringLiteral("--user"), mDb.user}
            + files);
    if (!importer.waitForStarted())
        return QStringLiteral("not started");
    importer.write(input);
    importer.closeWriteChannel();
    if (!importer.waitForFinished(60'000)) {
        importer.kill();
        importer.waitForFinished();
        return QStringLiteral("did not finish");
    }
    if (exitCode)
        *exitCode = importer.exitCode();
    return QString::fromLocal8Bit(importer.readAllStandardOutput());
}

void TestLogImport::readsAPipeOnce()
{
    // As `keldan-import <(zcat day.log.gz)` hands it over: /dev/fd/N.
    useDatabase(QStringLiteral("sqlite"));
    QFile day(DayLog);
    QVERIFY(day.open(QIODevice::ReadOnly));
    const QByteArray text = day.readAll();
    int ends[2];
    QCOMPARE(::pipe(ends), 0);
    std::thread writer([&] {
        (void)!::write(ends[1], text.constData(), size_t(text.size()));
        ::close(ends[1]);
    });
    const ImportSummary piped = import({QStringLiteral("/dev/fd/%1").arg(ends[0])});
    writer.join();
    ::close(ends[0]);
    QCOMPARE(piped.problems, QStringList());
    QCOMPARE(piped.lines, 21);
    QCOMPARE(piped.stored, 15);
    const QList<QList<QStringList>> rows = dump();
    recreateTables(mDb);
    import({DayLog});
    QCOMPARE(rows, dump());
}

void TestLogImport::aprxEscapesAreBytes()
{
    useDatabase(QStringLiteral("sqlite"));
    QByteArray plain;
    const QString aprx = writeFile(QStringLiteral("aprx-rf.log"), aprxLog(&plain));
    QVERIFY(!aprx.isEmpty());
    const QString stamped = writeFile(QStringLiteral("stamped.log"), plain);
    const ImportSummary fromAprx = import({aprx});
    QCOMPARE(fromAprx.fileFormats, QStringList {QStringLiteral("aprx rf log")});
    QCOMPARE(fromAprx.bad + fromAprx.badTime + fromAprx.tooLong, 0);
    const QList<QList<QStringList>> rows = dump();
    recreateTables(mDb);
    const ImportSummary fromPlain = import({stamped});
    QCOMPARE(fromPlain.fileFormats, QStringList {QStringLiteral("TNC2 lines with time stamps")});
    QCOMPARE(fromAprx.undecodable, fromPlain.undecodable);
    QCOMPARE(fromAprx.rejections, fromPlain.rejections);
    QCOMPARE(fromAprx.stored, fromPlain.stored);
    QCOMPARE(rows, dump());
}

void TestLogImport::fileStandardInputAndNamedPipeStoreTheSameRows()
{
    useDatabase(QStringLiteral("sqlite"));
    QByteArray plain;
    const QByteArray aprx = aprxLog(&plain);
    const QString path = writeFile(QStringLiteral("aprx-rf.log"), aprx);
    QVERIFY(!path.isEmpty());
    const auto withoutTime = [](QString output) { return output.left(output.indexOf(QLatin1String("Time:"))); };

    int exitCode = -1;
    const QString fromFile = runImporter({path}, QByteArray(), &exitCode);
    QCOMPARE(exitCode, 0);
    QVERIFY2(fromFile.contains(QLatin1String("aprx rf log")), qPrintable(fromFile));
    const QList<QList<QStringList>> rows = dump();
    QVERIFY(!rows.at(0).isEmpty());

    recreateTables(mDb);
    exitCode = -1;
    const QString fromStandardInput = runImporter({QStringLiteral("-")}, aprx, &exitCode);
    QCOMPARE(exitCode, 0);
    QCOMPARE(withoutTime(fromStandardInput).replace(QLatin1String("  -: "), QLatin1String("  ") + path + ": "),
        withoutTime(fromFile));
    QCOMPARE(dump(), rows);

    recreateTables(mDb);
    const QString fifo = mDir->filePath(QStringLiteral("feed"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::thread writer([&] {
        QFile feed(fifo);
        if (feed.open(QIODevice::WriteOnly))
            feed.write(aprx);
    });
    exitCode = -1;
    const QString fromFifo = runImporter({fifo}, QByteArray(), &exitCode);
    if (fromFifo == QLatin1String("did not finish")) {
        // Let the writer go.
        QFile reader(fifo);
        reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        reader.readAll();
    }
    writer.join();
    QCOMPARE(exitCode, 0);
    QCOMPARE(withoutTime(fromFifo).replace(fifo, path), withoutTime(fromFile));
    QCOMPARE(dump(), rows);
}

void TestLogImport::rejectsFileGivesEveryLineItsReason()
{
    useDatabase(QStringLiteral("sqlite"));
    QFile day(DayLog);
    QVERIFY(day.open(QIODevice::ReadOnly));
    const QByteArray extra = "2024-02-30 12:00:00 N0CALL>APRS:!5100.00N/00700.00E-\n"
                             "N0CALL>APRS:>"
        + QByteArray(600, 'x') + "\n";
    const QString path = writeFile(QStringLiteral("day.log"), day.readAll() + extra);
    const QString rejectsPath = mDir->filePath(QStringLiteral("rejects.txt"));
    const ImportSummary summary = import({path}, HostSettings::TimeZone::Local, Qt::LocalTime, 4, rejectsPath);
    QCOMPARE(summary.lines, 23);
    QCOMPARE(summary.skipped + summary.bad + summary.badTime + summary.tooLong + summary.packets, summary.lines);
    QCOMPARE(summary.badTime, 1);
    QCOMPARE(summary.tooLong, 1);
    QCOMPARE(summary.undecodable, 1);
    QCOMPARE(summary.rejections, (QMap<QString, qint64> {{QStringLiteral("packet too short (packet_short)"), 1}}));
    QVERIFY2(summary.text().contains(QLatin1String("1 x packet too short (packet_short)")), qPrintable(summary.text()));

    QFile rejects(rejectsPath);
    QVERIFY(rejects.open(QIODevice::ReadOnly));
    const QByteArray file = QFile::encodeName(path);
    QCOMPARE(rejects.readAll(),
        file + ":12: not a TNC2 line: this line is no packet\n" + file
            + ":13: packet too short (packet_short): 2024-05-06 10:15:00 DL9BAD>APRS:!garbage\n" + file
            + ":22: bad time stamp: 2024-02-30 12:00:00 N0CALL>APRS:!5100.00N/00700.00E-\n" + file
            + ":23: too long (over 512 bytes): N0CALL>APRS:>" + QByteArray(600, 'x') + '\n');
}

void TestLogImport::journalLinesKeepTheirRadioPort()
{
    useDatabase(QStringLiteral("sqlite"));
    const QString path = writeFile(QStringLiteral("journal.log"),
        "2024-05-06T10:00:00.000Z 101 N0CALL>APRS:!5130.00N/00007.50W-\n"
        "2024-05-06T10:00:01.500Z 7 N1CALL>APRS:!5131.00N/00007.50W-\n");
    const ImportSummary summary = import({path});
    QCOMPARE(summary.fileFormats, QStringList {QStringLiteral("packet journal")});
    QCOMPARE(summary.stored, 2);
    QCOMPARE(queryRows(mDb, QStringLiteral("select callsign, radio_port, dtstamp from stations order by callsign")),
        (QList<QStringList> {{QStringLiteral("N0CALL"), QStringLiteral("101"), QStringLiteral("2024-05-06 12:00:00")},
            {QStringLiteral("N1CALL"), QStringLiteral("7"), QStringLiteral("2024-05-06 12:00:01")}}));
}

void TestLogImport::signalEndsAReadWaitingOnAPipe()
{
    useDatabase(QStringLiteral("sqlite"));
    const QString fifo = mDir->filePath(QStringLiteral("feed"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess importer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), mDir->path());
    importer.setProcessEnvironment(environment);
    importer.setWorkingDirectory(mDir->path());
    importer.start(QStringLiteral(KELDAN_IMPORT_BIN),
        {QStringLiteral("--dsn"), mDb.dsn, QStringLiteral("--database"), mDb.database, QStringLiteral("--user"),
            mDb.user, fifo});
    QVERIFY(importer.waitForStarted());
    // The writer stays: the importer waits in a read when the signal comes.
    QFile feed(fifo);
    QVERIFY(feed.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QFile day(DayLog);
    QVERIFY(day.open(QIODevice::ReadOnly));
    feed.write(day.readAll());
    QTest::qWait(500);
    ::kill(pid_t(importer.processId()), SIGTERM);
    const bool finished = importer.waitForFinished(20'000);
    feed.close();
    if (!finished) {
        importer.kill();
        importer.waitForFinished();
    }
    QVERIFY2(finished, "the import went on waiting for the pipe");
    const QString output = QString::fromLocal8Bit(importer.readAllStandardOutput());
    QCOMPARE(importer.exitCode(), 143);
    QVERIFY2(output.startsWith(QLatin1String("Stopped by a signal (SIGTERM)")), qPrintable(output));
    // The open transaction was committed: what the summary counts is in the table.
    const qsizetype at = output.indexOf(QLatin1String("stored:"));
    QVERIFY(at > 0);
    const qint64 stored = output.mid(at + 7, output.indexOf(QLatin1Char('\n'), at) - at - 7).trimmed().toLongLong();
    QCOMPARE(queryRows(mDb, QStringLiteral("select count(*) from stations")).value(0).value(0).toLongLong(), stored);
    QCOMPARE(stored, 15);
}

QTEST_GUILESS_MAIN(TestLogImport)
#include "tst_logimport.moc"

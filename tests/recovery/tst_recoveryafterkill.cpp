// The whole program: keldan is killed (SIGKILL) during a database outage with
// its queue full, started again while the database is still down, and then
// the database comes back. Every beacon it heard is stored once.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Packets = 1500;

QByteArray callsign(int n)
{
    QByteArray call = "T";
    for (int i = 0; i < 4; ++i, n /= 26)
        call += char('A' + n % 26);
    return call;
}

qint64 journalLines(const QString &folder)
{
    qint64 lines = 0;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files)) {
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::ReadOnly))
            lines += file.readAll().count('\n');
    }
    return lines;
}

}  // namespace

class TestRecoveryAfterKill : public QObject
{
    Q_OBJECT
private slots:
    void killedDuringOutage();
};

void TestRecoveryAfterKill::killedDuringOutage()
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    TestDatabase db = testDatabase(QStringLiteral("sqlite"), folder + QStringLiteral("/TEST"));
    createSqliteFile(db);
    recreateTables(db);

    // The feed: a log replayed fast; the host's settings in a store of its own.
    QFile feed(folder + QStringLiteral("/feed.tnc2"));
    QVERIFY(feed.open(QIODevice::WriteOnly));
    for (int i = 0; i < Packets; ++i)
        feed.write(callsign(i) + ">APRS,WIDE1-1:!5230.00N/01320.00E-killed " + QByteArray::number(i) + '\n');
    feed.close();
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/config/Peak Systems")));
    QFile hostSettings(folder + QStringLiteral("/config/Peak Systems/UI-View32.conf"));
    QVERIFY(hostSettings.open(QIODevice::WriteOnly));
    hostSettings.write("[General]\nFeed=file:" + QFile::encodeName(feed.fileName()) + "\nReplay Rate=500\n");
    hostSettings.close();

    // The outage: another session holds SQLite's write lock.
    OdbcConnection holder(QStringLiteral("holder"));
    holder.open(db.connectionString());
    holder.setAutocommit(false);
    holder.execute(QStringLiteral("insert into stations (callsign, dtstamp) values ('LOCK', '2000-01-01 00:00:00')"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto startKeldan = [&](QProcess &keldan) {
        keldan.setProcessEnvironment(environment);
        keldan.setWorkingDirectory(folder);
        keldan.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        keldan.start(QStringLiteral(KELDAN_BINARY), {QStringLiteral("--program-folder"), folder});
        QVERIFY(keldan.waitForStarted());
    };

    {
        QProcess keldan;
        startKeldan(keldan);
        // Every packet heard and journaled; then the process dies.
        QTRY_COMPARE_WITH_TIMEOUT(journalLines(folder + QStringLiteral("/log")), qint64(Packets), 60'000);
        keldan.kill();
        QVERIFY(keldan.waitForFinished());
    }
    QCOMPARE(queryRows(db, QStringLiteral("select count(*) from stations")).value(0).value(0), QStringLiteral("0"));

    // The second run hears nothing new: the feed's log is empty now.
    QVERIFY(feed.open(QIODevice::WriteOnly | QIODevice::Truncate));
    feed.close();
    QProcess keldan;
    startKeldan(keldan);
    QTest::qWait(3000);  // started again while the database is still locked
    holder.rollback();
    holder.close();

    const QString count = QStringLiteral("select count(*), count(distinct callsign) from stations");
    QTRY_COMPARE_WITH_TIMEOUT(queryRows(db, count).value(0).value(0), QString::number(Packets), 120'000);
    QTest::qWait(3000);  // nothing more comes
    QCOMPARE(queryRows(db, count).value(0), QStringList({QString::number(Packets), QString::number(Packets)}));
    keldan.terminate();
    keldan.waitForFinished(30'000);
}

QTEST_GUILESS_MAIN(TestRecoveryAfterKill)
#include "tst_recoveryafterkill.moc"

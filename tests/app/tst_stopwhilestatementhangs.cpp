#include "TestDatabases.h"
#include "db/OdbcConnection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The built program, stopped by SIGTERM while its statement waits for a lock
// that another connection holds: it ends within the drain limit and one
// statement's grace, and says how many beacons it left.
class TestStopWhileStatementHangs : public QObject
{
    Q_OBJECT
private slots:
    void sigtermEndsTheProgramWithinTheBound();
};

void TestStopWhileStatementHangs::sigtermEndsTheProgramWithinTheBound()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const TestDatabase db = testDatabase(QStringLiteral("sqlite"), dir.filePath(QStringLiteral("bridge.sqlite")));
    recreateTables(db);
    QFile ini(dir.filePath(QStringLiteral("keldan.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(("DATABASE=" + db.database + "\r\n").toUtf8());
    ini.close();

    // A log of fifty stations, replayed fast: the queue holds many of them
    // when the signal comes.
    const QString logPath = dir.filePath(QStringLiteral("heard.log"));
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::WriteOnly));
    for (int i = 0; i < 50; ++i)
        log.write(QStringLiteral("N%1CALL>APRS:!5130.00N/00100.00E-\n").arg(i, 2, 10, QLatin1Char('0')).toLatin1());
    log.close();
    const QString configHome = dir.filePath(QStringLiteral("config"));
    {
        QSettings store(configHome + QStringLiteral("/Peak Systems/UI-View32.conf"), QSettings::IniFormat);
        store.setValue(QStringLiteral("Feed"), QString(QStringLiteral("file:") + logPath));
        store.setValue(QStringLiteral("Replay Rate"), 1000);
        store.setValue(QStringLiteral("Program Folder"), dir.path());
    }

    // Every statement of the bridge now waits for the lock until it gives up,
    // and the next waits again.
    OdbcConnection holder(QStringLiteral("holder"));
    holder.open(db.connectionString());
    holder.execute(QStringLiteral("begin exclusive"));

    QProcess keldan;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    keldan.setProcessEnvironment(environment);
    keldan.setWorkingDirectory(dir.path());
    keldan.setProcessChannelMode(QProcess::MergedChannels);
    keldan.start(QStringLiteral(KELDAN_BINARY), {QStringLiteral("--program-folder"), dir.path()});
    QVERIFY2(keldan.waitForStarted(10'000), qPrintable(keldan.errorString()));
    QByteArray output;
    // The log is read, and a statement has given up on the lock once: the
    // next one waits on it now.
    const auto ready = [&output] {
        return output.contains("ended after 50 packets") && output.toLower().contains("locked");
    };
    QElapsedTimer started;
    started.start();
    while (!ready() && started.elapsed() < 60'000 && keldan.state() == QProcess::Running) {
        keldan.waitForReadyRead(200);
        output += keldan.readAll();
    }
    QVERIFY2(ready(), output.constData());

    QElapsedTimer stopping;
    stopping.start();
    QCOMPARE(::kill(keldan.processId(), SIGTERM), 0);
    // 15 s of draining and one statement's grace, and a margin for a busy machine.
    const bool ended = keldan.waitForFinished(15'000 + 11'000 + 4'000);
    const qint64 tookMs = stopping.elapsed();
    output += keldan.readAll();
    if (!ended) {
        keldan.kill();
        keldan.waitForFinished();
    }
    qInfo("SIGTERM to exit: %lld ms; the log ends:\n%s", tookMs, output.right(700).constData());
    QVERIFY2(ended, output.constData());
    QCOMPARE(keldan.exitStatus(), QProcess::NormalExit);
    QVERIFY2(output.contains("stopping: feed stopped after 50 packets"), output.constData());
    // What was left unstored is counted in the log, in the same number everywhere.
    QVERIFY2(output.contains("since start: received 50, beacons 50"), output.constData());
    const QString text = QString::fromUtf8(output);
    const QRegularExpressionMatch left =
        QRegularExpression(QStringLiteral("waiting beacons handed to the database, (\\d+) left")).match(text);
    const QRegularExpressionMatch waiting = QRegularExpression(QStringLiteral("; (\\d+) waiting")).match(text);
    QVERIFY2(left.hasMatch() && waiting.hasMatch(), output.constData());
    QCOMPARE(left.captured(1), waiting.captured(1));
    holder.execute(QStringLiteral("commit"));
}

QTEST_GUILESS_MAIN(TestStopWhileStatementHangs)
#include "tst_stopwhilestatementhangs.moc"

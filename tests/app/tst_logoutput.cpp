// What the log says and how its lines look, on a terminal and in the journal.

#include "app/LogOutput.h"
#include "app/ServiceLog.h"
#include "support/LogCapture.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestLogOutput : public QObject
{
    Q_OBJECT
private slots:
    void format_data();
    void format();
    void journalIsRecognisedByStandardError_data();
    void journalIsRecognisedByStandardError();
    void refusalsPerMinuteSummaryPerTenMinutes();
};

void TestLogOutput::format_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("journal");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("terminal, info") << int(QtInfoMsg) << "KISS 127.0.0.1:8001 connected" << false
                                    << QByteArray(
                                           "2026-12-07 10:00:01 info keldan.feed: KISS 127.0.0.1:8001 connected\n");
    QTest::addRow("journal, info") << int(QtInfoMsg) << "KISS 127.0.0.1:8001 connected" << true
                                   << QByteArray("<6>info keldan.feed: KISS 127.0.0.1:8001 connected\n");
    QTest::addRow("journal, warning") << int(QtWarningMsg) << "lost" << true
                                      << QByteArray("<4>warning keldan.feed: lost\n");
    QTest::addRow("journal, critical") << int(QtCriticalMsg) << "gone" << true
                                       << QByteArray("<3>error keldan.feed: gone\n");
    QTest::addRow("journal, debug") << int(QtDebugMsg) << "frame" << true
                                    << QByteArray("<7>debug keldan.feed: frame\n");
    QTest::addRow("journal, a diagnostic of two records and a line end")
        << int(QtWarningMsg) << "statement failed: 08S01 [2013] Lost connection\nHY000 [0] more\n"
        << true
        << QByteArray(
               "<4>warning keldan.feed: statement failed: 08S01 [2013] Lost connection\n<4>    HY000 [0] more\n");
    QTest::addRow("terminal, two lines") << int(QtWarningMsg) << "first\nsecond" << false
                                         << QByteArray("2026-12-07 10:00:01 warning keldan.feed: first\n    second\n");
}

void TestLogOutput::format()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(bool, journal);
    QFETCH(QByteArray, expected);
    const QDateTime now(QDate(2026, 12, 7), QTime(10, 0, 1));
    QCOMPARE(LogOutput::format(QtMsgType(type), "keldan.feed", message, journal, now), expected);
}

void TestLogOutput::journalIsRecognisedByStandardError_data()
{
    struct stat info = {};
    QCOMPARE(fstat(STDERR_FILENO, &info), 0);
    const QByteArray own =
        QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino));
    QTest::addColumn<QByteArray>("journalStream");
    QTest::addColumn<bool>("journal");
    QTest::addRow("standard error itself") << own << true;
    QTest::addRow("another file (a child's redirected standard error)")
        << QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino) + 1) << false;
    QTest::addRow("unset") << QByteArray() << false;
    QTest::addRow("garbage") << QByteArray("journal") << false;
}

void TestLogOutput::journalIsRecognisedByStandardError()
{
    QFETCH(QByteArray, journalStream);
    QFETCH(bool, journal);
    if (journalStream.isEmpty())
        qunsetenv("JOURNAL_STREAM");
    else
        qputenv("JOURNAL_STREAM", journalStream);
    QCOMPARE(LogOutput::stderrIsJournal(), journal);
    qunsetenv("JOURNAL_STREAM");
}

void TestLogOutput::refusalsPerMinuteSummaryPerTenMinutes()
{
    LogCapture log;
    ServiceLog::Counts counts;
    int minutesPassed = 0;
    ServiceLog serviceLog([&counts] { return counts; }, [&minutesPassed] { ++minutesPassed; });

    // The first refusal of a run at once, the run's count once a minute.
    counts.waiting = 1000;
    for (int refusal = 1; refusal <= 7; ++refusal) {
        counts.refused = refusal;
        serviceLog.beaconRefused();
    }
    QCOMPARE(log.lines(),
        QStringList {"warning keldan.queue: Buffer full, packet ignored: the queue holds 1000 beacons; further "
                     "refusals are counted once a minute"});
    log.clear();
    serviceLog.minutePassed();
    QCOMPARE(
        log.lines(), QStringList {"warning keldan.queue: 7 beacons refused in the last minute: the queue was full"});
    log.clear();
    serviceLog.minutePassed();
    QVERIFY(log.lines().isEmpty());
    // After a quiet minute a new run is logged at once again.
    counts.refused = 8;
    serviceLog.beaconRefused();
    QCOMPARE(log.lines().size(), 1);
    log.clear();

    counts = {1807, 1242, 2484, 3, 8, 2, 12};
    for (int minute = 3; minute <= 10; ++minute)
        serviceLog.minutePassed();
    QCOMPARE(log.lines(),
        (QStringList {"warning keldan.queue: 1 beacons refused in the last minute: the queue was full",
            "info keldan.bridge: since start: received 1807, beacons 1242, stored 2484, "
            "failed 3, refused 8, recovered 2; 12 waiting"}));
    QCOMPARE(minutesPassed, 10);
    // Beacons read back from the journal are counted apart from the live ones.
    QCOMPARE(ServiceLog::summaryLine({1807, 1242, 2484, 3, 7, 40, 12}),
        QStringLiteral("since start: received 1807, beacons 1242, stored 2484, failed 3, refused 7, recovered 40; "
                       "12 waiting"));
}

QTEST_GUILESS_MAIN(TestLogOutput)
#include "tst_logoutput.moc"

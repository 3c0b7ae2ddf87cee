// Failed statements in the log: the first of a kind at once, then a count a
// minute, never a flood.

#include "recording/RepeatedFailureLog.h"
#include "support/LogCapture.h"

#include <QTest>

class TestRepeatedFailureLog : public QObject
{
    Q_OBJECT
private slots:
    void firstAtOnceThenCounted();
};

void TestRepeatedFailureLog::firstAtOnceThenCounted()
{
    LogCapture log;
    RepeatedFailureLog failures;
    for (int i = 0; i < 500; ++i)
        failures.report(QStringLiteral("23505 [1]"), QStringLiteral("statement failed: duplicate key %1").arg(i));
    failures.report(QStringLiteral("42P01 [1]"), QStringLiteral("statement failed: no such table"));
    QCOMPARE(log.lines(),
        (QStringList {"warning keldan.db: statement failed: duplicate key 0",
            "warning keldan.db: statement failed: no such table"}));
    log.clear();

    failures.minutePassed();
    QCOMPARE(
        log.lines(), QStringList {"warning keldan.db: 499 more statements failed with 23505 [1] in the last minute"});
    log.clear();

    // Still failing: counted on; a quiet minute, and it is news again.
    failures.report(QStringLiteral("23505 [1]"), QStringLiteral("statement failed: duplicate key 500"));
    QVERIFY(log.lines().isEmpty());
    failures.minutePassed();
    failures.minutePassed();
    log.clear();
    failures.report(QStringLiteral("23505 [1]"), QStringLiteral("statement failed: duplicate key 501"));
    QCOMPARE(log.lines(), QStringList {"warning keldan.db: statement failed: duplicate key 501"});
    QCOMPARE(failures.failures(), 503);
}

QTEST_GUILESS_MAIN(TestRepeatedFailureLog)
#include "tst_repeatedfailurelog.moc"

#include "linuxhost/TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <QCoreApplication>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class TestTerminationSignals : public QObject
{
    Q_OBJECT
private slots:
    void deliversOnTheEventLoop_data();
    void deliversOnTheEventLoop();
    void secondSignalEndsTheProcess_data() { deliversOnTheEventLoop_data(); }
    void secondSignalEndsTheProcess();
    void oneInstanceHoldsTheHandlers();
    void handlersAreRestored();
};

void TestTerminationSignals::deliversOnTheEventLoop_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addRow("SIGTERM") << int(SIGTERM);
    QTest::addRow("SIGINT") << int(SIGINT);
    QTest::addRow("SIGHUP") << int(SIGHUP);
}

void TestTerminationSignals::deliversOnTheEventLoop()
{
    QFETCH(int, signalNumber);
    TerminationSignals signals_;
    QVERIFY(signals_.isActive());
    QSignalSpy spy(&signals_, &TerminationSignals::received);
    QCOMPARE(::raise(signalNumber), 0);
    // Not inside the handler: only once the event loop runs.
    QCOMPARE(spy.size(), 0);
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toInt(), signalNumber);
}

// In a child process of its own, since it ends that process.
void TestTerminationSignals::secondSignalEndsTheProcess()
{
    QFETCH(int, signalNumber);
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer stops delivering signals in a child forked from a
    // process with threads (Qt Test's watchdog is one).
    QSKIP("no signals in a forked child under ThreadSanitizer");
#endif
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        TerminationSignals signals_;
        bool received = false;
        QObject::connect(&signals_, &TerminationSignals::received, [&received] { received = true; });
        ::raise(signalNumber);
        for (int i = 0; i < 500 && !received; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!received)
            ::_exit(3);
        // Taken by the event loop; the next one ends the process.
        ::raise(signalNumber);
        ::_exit(4);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFSIGNALED(status), qPrintable(QStringLiteral("exit status %1").arg(WEXITSTATUS(status))));
    QCOMPARE(WTERMSIG(status), signalNumber);
}

void TestTerminationSignals::oneInstanceHoldsTheHandlers()
{
    TerminationSignals first;
    TerminationSignals second;
    QVERIFY(first.isActive());
    QVERIFY(!second.isActive());
    QSignalSpy spy(&first, &TerminationSignals::received);
    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_COMPARE(spy.size(), 1);
}

void TestTerminationSignals::handlersAreRestored()
{
    struct sigaction before = {};
    sigaction(SIGTERM, nullptr, &before);
    {
        TerminationSignals signals_;
        struct sigaction during = {};
        sigaction(SIGTERM, nullptr, &during);
        QVERIFY(during.sa_handler != before.sa_handler);
    }
    struct sigaction after = {};
    sigaction(SIGTERM, nullptr, &after);
    QCOMPARE(reinterpret_cast<void *>(after.sa_handler), reinterpret_cast<void *>(before.sa_handler));
    // And a new instance can take them again.
    TerminationSignals again;
    QVERIFY(again.isActive());
}

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"

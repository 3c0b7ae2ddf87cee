#include "linuxhost/TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TestTerminationSignals : public QObject
{
    Q_OBJECT
private slots:
    void deliversOnTheEventLoop_data();
    void deliversOnTheEventLoop();
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

    // The next signal is delivered as well.
    QCOMPARE(::raise(signalNumber), 0);
    QTRY_COMPARE(spy.size(), 2);
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

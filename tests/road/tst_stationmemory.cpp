#include "road/StationMemory.h"

#include <QTest>

// The bounds of the host's per-station memory, on a small scale.
class TestStationMemory : public QObject
{
    Q_OBJECT
private slots:
    void keepsTheMostRecentlyHeard_data();
    void keepsTheMostRecentlyHeard();
};

void TestStationMemory::keepsTheMostRecentlyHeard_data()
{
    QTest::addColumn<QStringList>("heard");  // "CALL" inserts, "+CALL" touches, one per millisecond
    QTest::addColumn<QStringList>("kept");
    QTest::addRow("within the count") << QStringList {"A", "B", "C"} << QStringList {"A", "B", "C"};
    QTest::addRow("the one heard longest ago goes") << QStringList {"A", "B", "C", "D"} << QStringList {"B", "C", "D"};
    QTest::addRow("hearing a station again keeps it")
        << QStringList {"A", "B", "C", "+A", "D"} << QStringList {"A", "C", "D"};
    QTest::addRow("a new value for a station keeps it")
        << QStringList {"A", "B", "C", "A", "D"} << QStringList {"A", "C", "D"};
    QTest::addRow("older than the age limit") << QStringList {"A", "B", "-", "C"} << QStringList {"C"};
}

void TestStationMemory::keepsTheMostRecentlyHeard()
{
    QFETCH(QStringList, heard);
    QFETCH(QStringList, kept);
    // Three stations, 100 ms; "-" lets 100 ms pass.
    StationMemory<int> memory(3, 100);
    qint64 nowMs = 0;
    for (const QString &event : heard) {
        ++nowMs;
        if (event == QLatin1String("-"))
            nowMs += 100;
        else if (event.startsWith(QLatin1Char('+')))
            memory.touch(event.mid(1), nowMs);
        else
            memory.insert(event, int(nowMs), nowMs);
    }
    QStringList found;
    for (const QString callsign : {"A", "B", "C", "D"}) {
        if (memory.touch(callsign, nowMs))
            found << callsign;
    }
    QCOMPARE(found, kept);
    QCOMPARE(memory.size(), kept.size());
}

QTEST_GUILESS_MAIN(TestStationMemory)
#include "tst_stationmemory.moc"

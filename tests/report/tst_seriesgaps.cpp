// Where a weather chart's lines break: after a time without readings, not
// at a reading or two a station missed.

#include "report/SeriesGaps.h"

#include <QTest>

namespace {

// Readings every step seconds, with the given extra waits before some.
QList<qint64> readings(int count, qint64 step, const QList<std::pair<int, qint64>> &waits = {})
{
    QList<qint64> times;
    qint64 t = 1'000'000;
    for (int i = 0; i < count; ++i) {
        for (const auto &[index, extra] : waits)
            if (index == i)
                t += extra;
        times << t;
        t += step;
    }
    return times;
}

}  // namespace

class TestSeriesGaps : public QObject
{
    Q_OBJECT

private slots:
    void breaks_data();
    void breaks();
};

void TestSeriesGaps::breaks_data()
{
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<QList<qsizetype>>("expected");

    QTest::addRow("none") << QList<qint64>() << QList<qsizetype>();
    QTest::addRow("one reading") << QList<qint64> {5} << QList<qsizetype>();
    QTest::addRow("every 10 minutes") << readings(20, 600) << QList<qsizetype>();
    QTest::addRow("two readings missed") << readings(20, 600, {{10, 1200}}) << QList<qsizetype>();
    QTest::addRow("a day without readings") << readings(20, 600, {{10, 86400}}) << QList<qsizetype> {10};
    QTest::addRow("two silent days") << readings(30, 600, {{5, 86400}, {20, 2 * 86400}}) << QList<qsizetype> {5, 20};
    // Hourly: four intervals are four hours; a three-hour gap still joins.
    QTest::addRow("hourly, a 3 h gap") << readings(10, 3600, {{5, 2 * 3600}}) << QList<qsizetype>();
    QTest::addRow("hourly, a 5 h gap") << readings(10, 3600, {{5, 4 * 3600}}) << QList<qsizetype> {5};
    // Every minute: never a break under two hours.
    QTest::addRow("every minute, 90 min gap") << readings(50, 60, {{25, 90 * 60}}) << QList<qsizetype>();
    QTest::addRow("every minute, 3 h gap") << readings(50, 60, {{25, 3 * 3600}}) << QList<qsizetype> {25};
    // However seldom: never a line across more than six hours.
    QTest::addRow("two readings a day apart") << QList<qint64> {0, 86400} << QList<qsizetype> {1};
    QTest::addRow("every 4 h, a 7 h gap") << readings(6, 4 * 3600, {{3, 3 * 3600}}) << QList<qsizetype> {3};
}

void TestSeriesGaps::breaks()
{
    QFETCH(QList<qint64>, times);
    QFETCH(QList<qsizetype>, expected);
    QCOMPARE(SeriesGaps::breaks(times), expected);
}

QTEST_MAIN(TestSeriesGaps)
#include "tst_seriesgaps.moc"

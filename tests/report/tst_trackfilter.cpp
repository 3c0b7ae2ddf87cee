// Which positions of a station make its track: no 0° 0° (no GPS fix), no
// point only reachable faster than 1,000 km/h, and no line across a jump
// the station really made.

#include "report/TrackFilter.h"

#include <QTest>

namespace {

// Points a minute apart; 0.1° of latitude is about 11 km (670 km/h in a
// minute), 1° about 111 km (6,700 km/h).
QList<TrackPoint> minutes(const QList<std::pair<double, double>> &positions)
{
    QList<TrackPoint> points;
    qint64 seconds = 1'000'000;
    for (const auto &[lat, lon] : positions) {
        points.append({seconds, lat, lon});
        seconds += 60;
    }
    return points;
}

// Each kept point as "lat,lon", a "|" before one that begins a segment.
QString describe(const QList<TrackPoint> &points)
{
    QStringList parts;
    for (const TrackPoint &p : points)
        parts << (p.breakBefore ? QStringLiteral("|") : QString()) + QString::number(p.latitudeDeg) + QLatin1Char(',')
                + QString::number(p.longitudeDeg);
    return parts.join(QLatin1Char(' '));
}

}  // namespace

class TestTrackFilter : public QObject
{
    Q_OBJECT

private slots:
    void plausible_data();
    void plausible();
    void sameSecond();
};

void TestTrackFilter::plausible_data()
{
    QTest::addColumn<QList<TrackPoint>>("points");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("rejected");

    QTest::addRow("a drive") << minutes({{50, 10}, {50.1, 10}, {50.2, 10}}) << "50,10 50.1,10 50.2,10" << 0;
    QTest::addRow("no fix in between") << minutes({{50, 10}, {0, 0}, {50.1, 10}}) << "50,10 50.1,10" << 1;
    QTest::addRow("no fix first") << minutes({{0, 0}, {50, 10}, {50.1, 10}}) << "50,10 50.1,10" << 1;
    QTest::addRow("no fix only") << minutes({{0, 0}, {0, 0}}) << "" << 2;
    QTest::addRow("the equator is no 0/0") << minutes({{0, 10}, {0, 10.1}}) << "0,10 0,10.1" << 0;
    QTest::addRow("a spike out and back") << minutes({{50, 10}, {55, 10}, {50.1, 10}}) << "50,10 50.1,10" << 1;
    QTest::addRow("a spike at the end") << minutes({{50, 10}, {50.1, 10}, {40, 10}}) << "50,10 50.1,10" << 1;
    QTest::addRow("two spikes apart") << minutes({{50, 10}, {55, 10}, {45, 10}, {50.1, 10}}) << "50,10 50.1,10" << 2;
    QTest::addRow("a jump the station made")
        << minutes({{50, 10}, {50.1, 10}, {40, 10}, {40.1, 10}}) << "50,10 50.1,10 |40,10 40.1,10" << 0;
    QTest::addRow("a wrong first point") << minutes({{10, 10}, {50, 10}, {50.1, 10}}) << "10,10 |50,10 50.1,10" << 0;
    // 1,000 km/h for a minute is 16.7 km: 0.149° of latitude is 16.6 km, 0.151° 16.8 km.
    QTest::addRow("just under the limit") << minutes({{50, 10}, {50.149, 10}}) << "50,10 50.149,10" << 0;
    QTest::addRow("just over the limit") << minutes({{50, 10}, {50.151, 10}}) << "50,10" << 1;
    QTest::addRow("across the date line") << minutes({{60, 179.9}, {60, -179.9}}) << "60,179.9 60,-179.9" << 0;
}

void TestTrackFilter::plausible()
{
    QFETCH(QList<TrackPoint>, points);
    QFETCH(QString, kept);
    QFETCH(int, rejected);
    qsizetype left = -1;
    QCOMPARE(describe(TrackFilter::plausible(points, &left)), kept);
    QCOMPARE(left, qsizetype(rejected));
}

// Two beacons in one second count as a second apart: a few hundred metres
// of GPS wander passes, a hundred kilometres does not.
void TestTrackFilter::sameSecond()
{
    const QList<TrackPoint> near = {{100, 50, 10}, {100, 50.002, 10}};
    QCOMPARE(TrackFilter::plausible(near).size(), 2);
    const QList<TrackPoint> far = {{100, 50, 10}, {100, 51, 10}};
    QCOMPARE(TrackFilter::plausible(far).size(), 1);
}

QTEST_MAIN(TestTrackFilter)
#include "tst_trackfilter.moc"

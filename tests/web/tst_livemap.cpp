#include "web/LiveMap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

LiveBeacon beacon(const QString &callsign, qint64 seconds, double latitudeDeg)
{
    LiveBeacon b;
    b.callsign = callsign;
    b.kind = 2;
    b.seconds = seconds;
    b.latitudeDeg = latitudeDeg;
    b.longitudeDeg = -0.1;
    return b;
}

QJsonObject changes(LiveMap &map, qint64 after)
{
    return QJsonDocument::fromJson(map.changesJson(after)).object();
}

QStringList callsigns(const QJsonObject &change)
{
    QStringList list;
    for (const QJsonValue &s : change[QStringLiteral("data")][QStringLiteral("stations")].toArray())
        list << s[QStringLiteral("c")].toString();
    return list;
}

}  // namespace

class TestLiveMap : public QObject
{
    Q_OBJECT

private slots:
    // A page gets everything once, then only what changed, then what left
    // the window.
    void changesAfterAVersion()
    {
        qint64 now = 100'000;
        LiveMap map([&now] { return now; });
        map.add(beacon(QStringLiteral("A"), now - 60, 51.5));
        map.add(beacon(QStringLiteral("B"), now - 30, 51.6));
        QJsonObject first = changes(map, 0);
        QCOMPARE(first[QStringLiteral("reset")].toBool(), true);
        QCOMPARE(callsigns(first), (QStringList {"A", "B"}));
        const qint64 version = first[QStringLiteral("version")].toInteger();
        QCOMPARE(callsigns(changes(map, version)), QStringList());

        map.add(beacon(QStringLiteral("B"), now - 10, 51.7));
        const QJsonObject second = changes(map, version);
        QCOMPARE(second[QStringLiteral("reset")].toBool(), false);
        QCOMPARE(callsigns(second), QStringList {"B"});
        const QJsonObject b = second[QStringLiteral("data")][QStringLiteral("stations")][0].toObject();
        QCOMPARE(b[QStringLiteral("n")].toInt(), 2);
        QCOMPARE(b[QStringLiteral("la")].toDouble(), 51.7);
        // One track segment of two positions.
        QCOMPARE(b[QStringLiteral("tr")].toArray().size(), 1);
        QCOMPARE(b[QStringLiteral("tr")][0].toArray().size(), 4);

        // A leaves the window.
        now += qint64(LiveMap::WindowHours) * 3600 - 30;
        const QJsonObject third = changes(map, second[QStringLiteral("version")].toInteger());
        QCOMPARE(third[QStringLiteral("gone")].toArray(), QJsonArray {QStringLiteral("A")});
        QVERIFY(!map.contains(QStringLiteral("A")));
        QVERIFY(map.contains(QStringLiteral("B")));
    }

    // The seed read ends after the first beacons are stored: a row in both
    // counts once, the newer values win, the track holds both.
    void seedMergesWithStoredBeacons()
    {
        const qint64 now = 100'000;
        LiveMap map([now] { return now; });
        map.add(beacon(QStringLiteral("A"), now - 10, 51.9));
        ReportData data;
        StationSummary a;
        a.callsign = QStringLiteral("A");
        a.kind = 2;
        a.beacons = 2;
        a.firstHeard = now - 100;
        a.lastHeard = now - 10;
        a.latitudeDeg = 51.9;
        a.longitudeDeg = -0.1;
        a.everMobile = true;
        a.track = {{now - 100, 51.5, -0.1}, {now - 10, 51.9, -0.1}};
        StationSummary c = a;
        c.callsign = QStringLiteral("C");
        data.stations = {a, c};
        data.stationRows = 4;
        map.seed(data);
        const QJsonObject all = changes(map, 0);
        QCOMPARE(callsigns(all), (QStringList {"A", "C"}));
        QCOMPARE(all[QStringLiteral("rows")].toInt(), 4);
        const QJsonObject merged = all[QStringLiteral("data")][QStringLiteral("stations")][0].toObject();
        QCOMPARE(merged[QStringLiteral("n")].toInt(), 2);
        QCOMPARE(merged[QStringLiteral("f")].toInteger(), now - 100);
        QCOMPARE(merged[QStringLiteral("tr")].toArray().size(), 1);
        QCOMPARE(merged[QStringLiteral("tr")][0].toArray().size(), 4);
    }
};

QTEST_MAIN(TestLiveMap)
#include "tst_livemap.moc"

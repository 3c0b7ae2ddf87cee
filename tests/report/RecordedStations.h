#pragma once

#include "TestDatabases.h"
#include "db/DatabaseLink.h"
#include "db/OdbcError.h"
#include "recording/BeaconRecorder.h"
#include "support/SampleReadings.h"
#include "support/ScriptedHost.h"
#include "support/WidgetRecorderView.h"

#include <QTest>

// A morning's stations, stored by the bridge's own beacon road into a test
// database, for the report's tests. From SampleStamp (2004-05-06 14:30:00):
//   N0CALL    fixed, an object of N0CALL-2, near London; its comment carries
//             markup and "</script>"
//   N0CALL-9  mobile, five beacons, one repeated in place: a track of four
//             positions in Bavaria
//   WX1ABC    weather, three readings in Burgundy, the temperature rising
//             -3.5, -2.5, -1.5 and pressure missing from the second
//   OLD1      fixed, two days earlier, outside the reports' period
namespace RecordedStations {

inline const QString Since = QStringLiteral("2004-05-06 14:00");
inline const QString Comment = QStringLiteral("PHG2360 <b>its</b> 5C </script><script>alert(1)</script>");

inline void store(const TestDatabase &db)
{
    recreateTables(db);
    WidgetRecorderView view;
    ScriptedHost host;
    DatabaseLink link;
    BeaconRecorder recorder(view, link);
    recorder.attachHost(&host);
    recorder.weatherRecord() = std::make_shared<WeatherReadings>();
    link.logon(db.dsn, db.user, db.password, db.database, view);
    QVERIFY2(link.connected(), qPrintable(view.status()));

    const auto at = [](std::shared_ptr<ScriptedBeaconRecord> beacon, int seconds) {
        beacon->fields.timeA = SampleStamp.addSecs(seconds);
        beacon->fields.timeB = beacon->fields.timeA;
        return beacon;
    };

    auto fixed = at(sampleBeacon(StationType::Fixed), 30);
    fixed->fields.packetText = QStringLiteral("!5130.12N/00007.50W-")
        + QStringLiteral("PHG2360 <b>it's</b> 5'C </script><script>alert(1)</script>");
    recorder.processBeacon(fixed);

    auto old = at(sampleBeacon(StationType::Fixed), -2 * 86400);
    old->fields.callsign = QStringLiteral("OLD1");
    old->fields.objectOwner = QString();
    recorder.processBeacon(old);

    const float track[][2] = {{3000, 600}, {3006, 606}, {3006, 606}, {3012, 609}, {3015, 615}};
    for (int i = 0; i < 5; ++i) {
        auto mobile = at(sampleBeacon(StationType::Mobile), 60 * (i + 1));
        mobile->fields.latitude = track[i][0];
        mobile->fields.longitude = track[i][1];
        mobile->fields.speed = 40.0f + float(i);
        recorder.processBeacon(mobile);
    }

    for (int i = 0; i < 3; ++i) {
        WeatherReadings readings = sampleWeatherReadings(-3.5f + float(i));
        if (i == 1)
            readings.pressureHpa = 0;
        host.weather.insert(QStringLiteral("WX1ABC"), std::make_shared<WeatherReadings>(readings));
        auto weather = at(sampleBeacon(StationType::Weather), 600 * i);
        weather->fields.latitude = 2820;  // 47 N
        weather->fields.longitude = 288;  // 4.8 E
        recorder.processBeacon(weather);
    }
    QCOMPARE(view.status(), QString());
}

}  // namespace RecordedStations

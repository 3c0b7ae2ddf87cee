#pragma once

#include "db/StatementExecutor.h"
#include "recording/StatementTemplate.h"

#include <QString>

// The four INSERT templates, head and values template joined, and the names
// of their placeholders, which the store operations fill in this order.
// Quoted placeholders stand between apostrophes; the stations row writes
// distance, lat, lon, heard_direct and radio_port bare.
class StationStatements
{
public:
    static inline const QString Call = QStringLiteral("<CALL>");
    static inline const QString Dtstamp = QStringLiteral("<DTSTAMP>");
    static inline const QString Type = QStringLiteral("<TYPE>");
    static inline const QString Distance = QStringLiteral("<DISTANCE>");
    static inline const QString Lat = QStringLiteral("<LAT>");
    static inline const QString Lon = QStringLiteral("<LON>");
    static inline const QString HeardDirect = QStringLiteral("<HEARD_DIRECT>");
    static inline const QString RadioPort = QStringLiteral("<RADIO_PORT>");
    static inline const QString Symbol = QStringLiteral("<SYMBOL>");
    static inline const QString ObjectOwner = QStringLiteral("<OBJECT_OWNER>");
    static inline const QString Status = QStringLiteral("<STATUS>");
    static inline const QString Comment = QStringLiteral("<COMMENT>");
    static inline const QString Path = QStringLiteral("<PATH>");
    static inline const QString Height = QStringLiteral("<HEIGHT>");
    static inline const QString Speed = QStringLiteral("<SPEED>");
    static inline const QString Course = QStringLiteral("<COURSE>");
    static inline const QString Pressure = QStringLiteral("<PRESSURE>");
    static inline const QString Dewpoint = QStringLiteral("<DEWPOINT>");
    static inline const QString Humidity = QStringLiteral("<HUMIDITY>");
    static inline const QString Rain24Hours = QStringLiteral("<RAIN_24HOURS>");
    static inline const QString RainLastHour = QStringLiteral("<RAIN_LAST_HOUR>");
    static inline const QString RainToday = QStringLiteral("<RAIN_TODAY>");
    static inline const QString Temp = QStringLiteral("<TEMP>");
    static inline const QString WindChill = QStringLiteral("<WIND_CHILL>");
    static inline const QString WindDirection = QStringLiteral("<WIND_DIRECTION>");
    static inline const QString WindGust = QStringLiteral("<WIND_GUST>");
    static inline const QString WindSpeed = QStringLiteral("<WIND_SPEED>");

    // Each table's message on the status line when its row is not written.
    static inline const QString StationsMessage = QStringLiteral("Stations Table (Error Inserting Data into database)");
    static inline const QString FixedMessage = QStringLiteral("Fixed Table (Error Inserting Data into database)");
    static inline const QString MobileMessage = QStringLiteral("Mobile Table (Error Inserting Data into database)");
    static inline const QString WxMessage = QStringLiteral("WX Table (Error Inserting Data into database)");

    // By the table a statement built from these templates inserts into;
    // empty for any other statement.
    static QString failureMessageOf(const QString &statement);
    static bool insertsStation(const QString &statement);
    // A query that gives a row when the table already holds one with the
    // statement's callsign and time (its first two values): after a
    // connection lost while the statement ran, it may have been committed.
    // Empty when the statement does not read as one of the templates.
    static QString sameBeaconQuery(const QString &statement, SqlDialect dialect);

    static const StatementTemplate &stations();
    static const StatementTemplate &fixedData();
    static const StatementTemplate &mobileData();
    // No blank between the column list and "values": the head has always read so.
    static const StatementTemplate &wxData();
};

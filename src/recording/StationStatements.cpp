#include "recording/StationStatements.h"

const StatementTemplate &StationStatements::stations()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,symbol,"
                       "object_owner) ")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<TYPE>',<DISTANCE>,<LAT>,<LON>,<HEARD_DIRECT>,"
                             "<RADIO_PORT>,'<SYMBOL>','<OBJECT_OWNER>')"),
        {Call, Dtstamp, Type, Distance, Lat, Lon, HeardDirect, RadioPort, Symbol, ObjectOwner});
    return statement;
}

const StatementTemplate &StationStatements::fixedData()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) ")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<STATUS>','<COMMENT>','<PATH>')"),
        {Call, Dtstamp, Status, Comment, Path});
    return statement;
}

const StatementTemplate &StationStatements::mobileData()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) ")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<HEIGHT>','<SPEED>','<PATH>','<COURSE>')"),
        {Call, Dtstamp, Height, Speed, Path, Course});
    return statement;
}

const StatementTemplate &StationStatements::wxData()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into wx_data (fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,"
                       "rain_last_hour,rain_today,temp,wind_chill,wind_direction,wind_gust,wind_speed)")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<PRESSURE>','<DEWPOINT>','<HUMIDITY>','<RAIN_24HOURS>',"
                             "'<RAIN_LAST_HOUR>','<RAIN_TODAY>','<TEMP>','<WIND_CHILL>','<WIND_DIRECTION>',"
                             "'<WIND_GUST>','<WIND_SPEED>')"),
        {Call, Dtstamp, Pressure, Dewpoint, Humidity, Rain24Hours, RainLastHour, RainToday, Temp, WindChill,
            WindDirection, WindGust, WindSpeed});
    return statement;
}

#include "recording/StationStatements.h"

const StatementTemplate &stationsStatement()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,symbol,"
                       "object_owner) ")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<TYPE>',<DISTANCE>,<LAT>,<LON>,<HEARD_DIRECT>,"
                             "<RADIO_PORT>,'<SYMBOL>','<OBJECT_OWNER>')"),
        {QStringLiteral("<CALL>"), QStringLiteral("<DTSTAMP>"), QStringLiteral("<TYPE>"),
         QStringLiteral("<DISTANCE>"), QStringLiteral("<LAT>"), QStringLiteral("<LON>"),
         QStringLiteral("<HEARD_DIRECT>"), QStringLiteral("<RADIO_PORT>"), QStringLiteral("<SYMBOL>"),
         QStringLiteral("<OBJECT_OWNER>")});
    return statement;
}

const StatementTemplate &fixedDataStatement()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) ")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<STATUS>','<COMMENT>','<PATH>')"),
        {QStringLiteral("<CALL>"), QStringLiteral("<DTSTAMP>"), QStringLiteral("<STATUS>"),
         QStringLiteral("<COMMENT>"), QStringLiteral("<PATH>")});
    return statement;
}

const StatementTemplate &mobileDataStatement()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) ")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<HEIGHT>','<SPEED>','<PATH>','<COURSE>')"),
        {QStringLiteral("<CALL>"), QStringLiteral("<DTSTAMP>"), QStringLiteral("<HEIGHT>"),
         QStringLiteral("<SPEED>"), QStringLiteral("<PATH>"), QStringLiteral("<COURSE>")});
    return statement;
}

const StatementTemplate &wxDataStatement()
{
    static const StatementTemplate statement(
        QStringLiteral("insert into wx_data (fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,"
                       "rain_last_hour,rain_today,temp,wind_chill,wind_direction,wind_gust,wind_speed)")
            + QStringLiteral("values ('<CALL>','<DTSTAMP>','<PRESSURE>','<DEWPOINT>','<HUMIDITY>','<RAIN_24HOURS>',"
                             "'<RAIN_LAST_HOUR>','<RAIN_TODAY>','<TEMP>','<WIND_CHILL>','<WIND_DIRECTION>',"
                             "'<WIND_GUST>','<WIND_SPEED>')"),
        {QStringLiteral("<CALL>"), QStringLiteral("<DTSTAMP>"), QStringLiteral("<PRESSURE>"),
         QStringLiteral("<DEWPOINT>"), QStringLiteral("<HUMIDITY>"), QStringLiteral("<RAIN_24HOURS>"),
         QStringLiteral("<RAIN_LAST_HOUR>"), QStringLiteral("<RAIN_TODAY>"), QStringLiteral("<TEMP>"),
         QStringLiteral("<WIND_CHILL>"), QStringLiteral("<WIND_DIRECTION>"), QStringLiteral("<WIND_GUST>"),
         QStringLiteral("<WIND_SPEED>")});
    return statement;
}

#include "recording/StationStatements.h"

namespace {

struct TableMessage {
    const char *head;
    const QString &message;
};
const TableMessage TableMessages[] = {
    {"insert into stations ", StationStatements::StationsMessage},
    {"insert into fixed_data ", StationStatements::FixedMessage},
    {"insert into mobile_data ", StationStatements::MobileMessage},
    {"insert into wx_data ", StationStatements::WxMessage},
};

// The text literal that starts at from ('...'), apostrophes and, in the
// backslash dialect, backslash escapes included; empty when there is none.
QString literalAt(const QString &text, qsizetype from, SqlDialect dialect, qsizetype *end)
{
    if (from >= text.size() || text.at(from) != QLatin1Char('\''))
        return QString();
    for (qsizetype i = from + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && dialect == SqlDialect::BackslashEscapes) {
            ++i;
        } else if (c == QLatin1Char('\'')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\'')) {
                ++i;
                continue;
            }
            *end = i + 1;
            return text.mid(from, i + 1 - from);
        }
    }
    return QString();
}

}  // namespace

QString StationStatements::failureMessageOf(const QString &statement)
{
    for (const TableMessage &t : TableMessages) {
        if (statement.startsWith(QLatin1String(t.head)))
            return t.message;
    }
    return QString();
}

bool StationStatements::insertsStation(const QString &statement)
{
    return statement.startsWith(QLatin1String(TableMessages[0].head));
}

QString StationStatements::sameBeaconQuery(const QString &statement, SqlDialect dialect)
{
    // insert into <table> (<call column>,<time column>,...) values ('<call>','<time>',...
    const qsizetype open = statement.indexOf(QLatin1Char('('));
    const qsizetype values = statement.indexOf(QLatin1String("values ("));
    if (failureMessageOf(statement).isEmpty() || open < 0 || values < open)
        return QString();
    const QString table = statement.mid(12, open - 12).trimmed();
    const QStringList columns =
        statement.mid(open + 1, statement.indexOf(QLatin1Char(')'), open) - open - 1).split(QLatin1Char(','));
    qsizetype end = 0;
    const QString call = literalAt(statement, values + 8, dialect, &end);
    if (call.isEmpty() || end >= statement.size() || statement.at(end) != QLatin1Char(','))
        return QString();
    const QString time = literalAt(statement, end + 1, dialect, &end);
    if (time.isEmpty() || columns.size() < 2)
        return QString();
    return QStringLiteral("select 1 from %1 where %2 = %3 and %4 = %5")
        .arg(table, columns.at(0), call, columns.at(1), time);
}

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

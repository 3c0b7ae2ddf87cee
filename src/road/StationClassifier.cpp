#include "road/StationClassifier.h"

#include "aprs/AprsPacket.h"
#include "host/BeaconRecord.h"

#include <QLatin1StringView>

namespace {
const QLatin1StringView PrimaryMoving("'*<=>CFOPRSUXY[^abefgjkpsuv");
const QLatin1StringView AlternateMoving(">O^ksuv");
}  // namespace

bool StationClassifier::isMovingSymbol(QChar table, QChar code)
{
    if (table == QLatin1Char('/'))
        return PrimaryMoving.contains(code);
    const bool alternate = table == QLatin1Char('\\') || (table >= QLatin1Char('0') && table <= QLatin1Char('9'))
        || (table >= QLatin1Char('A') && table <= QLatin1Char('Z'));
    return alternate && AlternateMoving.contains(code);
}

qint16 StationClassifier::stationType(const aprs::Packet &packet)
{
    if (packet.hasWeather || packet.symbolCode == QLatin1Char('_'))
        return StationType::Weather;
    // A course of 0 means "not known" in APRS (north is 360), and a speed of
    // 0 is a station standing still: neither makes a station mobile.
    const bool moving = (packet.speedKmh && *packet.speedKmh > 0) || (packet.courseDeg && *packet.courseDeg > 0);
    if (moving || isMovingSymbol(packet.symbolTable, packet.symbolCode))
        return StationType::Mobile;
    return StationType::Fixed;
}

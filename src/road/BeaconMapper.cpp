#include "road/BeaconMapper.h"

#include "aprs/AprsPacket.h"
#include "road/StationClassifier.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double EarthRadiusKm = 6371.0088;

QString trimTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}

// The text as a host that hands over C strings gives it: up to its first NUL.
// A station's NUL byte then never reaches a statement, nor is it kept with
// its status for its later beacons.
void endAtNul(QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
}

QString symbolText(QChar c)
{
    return c.isNull() ? QString() : QString(c);
}

}  // namespace

BeaconMapper::BeaconMapper(
    std::optional<double> stationLatDeg, std::optional<double> stationLonDeg, CallsignPatternList exclusions)
    : mStationLatDeg(stationLatDeg), mStationLonDeg(stationLonDeg), mExclusions(std::move(exclusions))
{ }

QString BeaconMapper::recordCallsign(const aprs::Packet &packet)
{
    if (packet.kind == aprs::PacketKind::Object || packet.kind == aprs::PacketKind::Item)
        return trimTrailingBlanks(packet.objectName);
    return packet.source;
}

bool BeaconMapper::heardDirect(QByteArrayView line)
{
    qsizetype headerEnd = line.indexOf(':');
    if (headerEnd < 0)
        headerEnd = line.size();
    const QByteArrayView header = line.first(headerEnd);
    qsizetype start = header.indexOf(',');
    if (start < 0)
        return true;
    ++start;
    while (start <= header.size()) {
        qsizetype end = header.indexOf(',', start);
        if (end < 0)
            end = header.size();
        const QByteArrayView element = header.sliced(start, end - start);
        if (element.endsWith('*'))
            return false;
        if (element.size() == 3 && element.startsWith("qA"))
            return false;
        start = end + 1;
    }
    return true;
}

double BeaconMapper::distanceKm(double lat1Deg, double lon1Deg, double lat2Deg, double lon2Deg)
{
    constexpr double toRad = std::numbers::pi / 180.0;
    const double dLat = (lat2Deg - lat1Deg) * toRad;
    const double dLon = (lon2Deg - lon1Deg) * toRad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(lat1Deg * toRad) * std::cos(lat2Deg * toRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * EarthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

ReceivedBeacon::Values BeaconMapper::map(const aprs::Packet &packet, const Reception &reception) const
{
    const QDateTime receivedAt = mUtc ? reception.receivedAt.toUTC() : reception.receivedAt;
    ReceivedBeacon::Values v;
    v.callsign = recordCallsign(packet);
    if (packet.kind == aprs::PacketKind::Object || packet.kind == aprs::PacketKind::Item)
        v.objectOwner = packet.source;
    v.symbolTable = symbolText(packet.symbolTable);
    v.symbolCode = symbolText(packet.symbolCode);
    v.packetHeader = packet.header + QLatin1Char(' ') + receivedAt.toString(QStringLiteral("HH:mm:ss"));
    // The bridge stores packetText from commentStart on: the text before the
    // comment, then the decoder's comment, so that what is stored is what the
    // decoder read as the comment (without a Mic-E device code, altitude or
    // telemetry). With no comment the information field stays whole.
    const qsizetype commentBegin = std::clamp<qsizetype>(packet.commentOffset, 0, packet.information.size());
    v.packetText = packet.information.left(commentBegin) + packet.comment;
    endAtNul(v.packetText);
    const int commentOffset = std::clamp(int(commentBegin), 0, int(v.packetText.size()));
    v.commentStart = qint16(std::min(commentOffset + 1, 32767));
    v.statusText = reception.statusText;
    v.latitudeMinutes = float(packet.latitudeDeg * 60.0);
    v.longitudeMinutes = float(packet.longitudeDeg * 60.0);
    v.radioPort = reception.radioPort;
    // A third-party packet was heard as its carrier's; the station inside it
    // was heard direct only if neither path says otherwise.
    v.heardDirect = toHostBool(heardDirect(reception.line) && heardDirect(packet.header.toUtf8()));
    v.speedKmh = float(packet.speedKmh.value_or(0));
    v.courseDeg = qint16(std::lround(packet.courseDeg.value_or(0)));
    v.heightMetres = float(packet.altitudeM.value_or(0));
    if (mStationLatDeg && mStationLonDeg)
        v.distanceKm = float(distanceKm(*mStationLatDeg, *mStationLonDeg, packet.latitudeDeg, packet.longitudeDeg));
    v.timeA = receivedAt;
    v.timeB = receivedAt;
    v.stationType = StationClassifier::stationType(packet);
    for (QString *text : {&v.callsign, &v.symbolCode, &v.symbolTable, &v.packetHeader, &v.statusText, &v.objectOwner})
        endAtNul(*text);
    v.excluded = toHostBool(mExclusions.matches(v.callsign));
    return v;
}

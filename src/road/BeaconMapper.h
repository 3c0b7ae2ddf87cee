#pragma once

#include "road/CallsignPatternList.h"
#include "road/ReceivedBeacon.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

namespace aprs {
struct Packet;
}

// Fills a beacon record from a decoded packet and what the host knows at the
// moment it arrives. docs/linux-host.md has the table of every field.
class BeaconMapper
{
public:
    struct Reception {
        QByteArrayView line;  // the TNC2 line as received
        qint16 radioPort = 0;
        QDateTime receivedAt;
        QString statusText;  // the station's latest status, if any
    };

    BeaconMapper() = default;
    BeaconMapper(
        std::optional<double> stationLatDeg, std::optional<double> stationLonDeg, CallsignPatternList exclusions);

    // With UTC, every time of a beacon (timeA, timeB, the time in
    // packetHeader) is the reception time in UTC; otherwise it is the
    // reception time as given, which the host's clock gives in local time.
    void setUtc(bool utc) { mUtc = utc; }

    ReceivedBeacon::Values map(const aprs::Packet &packet, const Reception &reception) const;

    // The station a beacon is about: the source, or an object's or item's
    // name without its trailing blanks.
    static QString recordCallsign(const aprs::Packet &packet);

    // Heard direct: no digipeater marked "*" and no APRS-IS q construct
    // (qAR, qAC, ...) in the path of "SRC>DEST,PATH:info" (or of a header
    // alone).
    static bool heardDirect(QByteArrayView line);

    // Great-circle distance on a sphere of the Earth's mean radius.
    static double distanceKm(double lat1Deg, double lon1Deg, double lat2Deg, double lon2Deg);

private:
    std::optional<double> mStationLatDeg;
    std::optional<double> mStationLonDeg;
    CallsignPatternList mExclusions;
    bool mUtc = false;
};

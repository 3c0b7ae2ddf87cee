#pragma once

#include <QtGlobal>

// What became of the packets the host received. Every received packet is
// counted once more in exactly one of the other five.
struct HostCounters {
    qint64 received = 0;
    qint64 beacons = 0;     // raised as NotifyBeaconData
    qint64 duplicates = 0;  // heard again within 30 s
    qint64 remembered = 0;  // status and position-less weather: kept for later beacons
    qint64 dropped = 0;     // messages, telemetry, killed objects and the rest
    qint64 rejected = 0;    // not decodable
};

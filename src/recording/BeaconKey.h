#pragma once

#include <QString>

// What makes a beacon the same beacon: its callsign, its time stamp and its
// position, in the forms the stations row is written with. A log imported
// twice, or a packet journal replayed, gives the same keys again.
struct BeaconKey {
    QString callsign;      // as the host gives it, unescaped
    QString dtstamp;       // "2024-01-01 00:00:00", as the stations row has it
    double latitude = 0;   // minutes of arc, the value the row's text gives
    double longitude = 0;  // minutes of arc

    // Without a callsign and a time a beacon cannot be looked up: it is
    // written without the check.
    bool isValid() const { return !callsign.isEmpty() && !dtstamp.isEmpty(); }

    // The stored position is read back through the driver as text, which
    // may carry more or fewer digits than the seven written.
    bool samePosition(double latitudeMin, double longitudeMin) const;
};

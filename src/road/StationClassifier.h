#pragma once

#include <QChar>

namespace aprs {
struct Packet;
}

// Decides a beacon's station kind: weather (1) when it carries weather or
// shows the weather-station symbol "_"; else mobile (2) when it reports a
// movement or shows a moving thing; else fixed (0).
class StationClassifier
{
public:
    static qint16 stationType(const aprs::Packet &packet);

    // The symbols of things that move, from the APRS symbol tables.
    // Primary table "/": ' small aircraft, * snowmobile, < motorcycle,
    // = railroad engine, > car, C canoe, F farm vehicle (tractor), O balloon,
    // P police car, R recreational vehicle, S space shuttle, U bus,
    // X helicopter, Y yacht (sail), [ jogger (human), ^ large aircraft,
    // a ambulance, b bicycle, e horse, f fire truck, g glider, j jeep, k truck,
    // p rover (dog), s ship (power boat), u truck (18-wheeler), v van.
    // Alternate table "\" and its overlays (0-9, A-Z): > car, O rocket,
    // ^ aircraft, k SUV / ATV, s ship, u truck, v van.
    static bool isMovingSymbol(QChar table, QChar code);
};

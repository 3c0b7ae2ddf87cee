#pragma once

#include <QString>
#include <QtGlobal>

// One beacon whose stations row is stored, with the values its rows hold.
struct LiveBeacon {
    QString callsign;
    int kind = 0;        // stations.type: 0 fixed, 1 weather, 2 mobile
    qint64 seconds = 0;  // dtstamp, counted as DtstampText counts it
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    QString symbol;
    QString objectOwner;
    bool heardDirect = false;
    int radioPort = 0;
    double distanceKm = 0;
    // fixed_data
    QString status;
    QString comment;
    QString path;
    // mobile_data
    double speedKmh = 0;
    int courseDeg = 0;
    double heightMetres = 0;
};

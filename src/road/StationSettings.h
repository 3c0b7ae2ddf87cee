#pragma once

#include "road/CallsignPatternList.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

// What the beacon road needs of the host's settings store to map a beacon as
// the bridge's host would, live or from a log:
//   Latitude, Longitude  our station in decimal degrees, for distances
//   Exclusions           callsign patterns, see CallsignPatternList
//   Time Zone            local (the default) or UTC: the zone of every time a
//                        beacon carries, and so of the rows the bridge writes
struct StationSettings {
    enum class TimeZone { Local, Utc };

    std::optional<double> latitudeDeg;
    std::optional<double> longitudeDeg;
    CallsignPatternList exclusions;
    TimeZone timeZone = TimeZone::Local;

    // Reads the keys above; a value that cannot be used is described in
    // problems and leaves its default.
    void readStation(QSettings &store, QStringList &problems);

    // A key's text. An INI store reads an unquoted value with commas as a list
    // (Exclusions=N0CALL,TEST*); this joins it back.
    static QString textValue(QSettings &store, const QString &key);
};

#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringView>

// What an APRS symbol is: its table character then its code character, as
// the stations table stores it ("/>" a car, "\\#" a digipeater of the
// alternate table, "I&" an igate: the alternate table's gateway with the
// overlay I). The page draws the glyph of its kind; a symbol without one of
// its own is drawn as a plain badge showing its characters.
struct AprsSymbol {
    // The page's drawing: "car", "house", "weather", ...; "generic" for a
    // symbol it has no picture of.
    QLatin1String glyph = QLatin1String("generic");
    // "car", "weather station", ...; empty when the code is unknown.
    QString name;
    QChar table;  // '/', '\\' or the overlay character; null when none
    QChar code;
    // The character drawn over the glyph: the overlay (0-9, A-Z) of an
    // alternate symbol, otherwise null.
    QChar overlay;

    static AprsSymbol lookup(QStringView symbol);
};

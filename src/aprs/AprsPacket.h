#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace aprs {

// What a packet is, judged by its data type identifier and contents.
enum class PacketKind : std::uint8_t {
    Unknown,
    Position,   // ! = / @ and NMEA sentences
    MicE,       // ` and ' (current and old Mic-E)
    Object,     // ;
    Item,       // )
    Status,     // >
    Weather,    // position-less weather: _ and the Peet/ULTW forms
    Message,    // :
    Telemetry,  // T#
    Other
};

enum class PositionFormat : std::uint8_t { None, Uncompressed, Compressed, MicE, Nmea };

// Weather readings in metric units; a reading the packet does not carry is absent.
struct WeatherReport {
    std::optional<double> windDirectionDeg;
    std::optional<double> windSpeedMs;
    std::optional<double> windGustMs;
    std::optional<double> tempC;
    std::optional<double> humidityPercent;
    std::optional<double> pressureHpa;
    std::optional<double> rain1hMm;
    std::optional<double> rain24hMm;
    std::optional<double> rainMidnightMm;
    std::optional<double> snow24hMm;
    std::optional<double> luminosityWm2;

    bool hasAnyReading() const
    {
        return windDirectionDeg || windSpeedMs || windGustMs || tempC || humidityPercent || pressureHpa
            || rain1hMm || rain24hMm || rainMidnightMm || snow24hMm || luminosityWm2;
    }
};

// One decoded packet. Text fields hold Unicode decoded from the packet's bytes
// (UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise).
struct Packet {
    // Empty when the packet decoded; otherwise a stable reason code such as
    // "loc_inv" or "mice_short" (see AprsDecoder.h for the list).
    const char *error = "";
    bool ok() const { return error[0] == '\0'; }

    PacketKind kind = PacketKind::Unknown;

    // Header as received. For a third-party packet these describe the inner packet.
    QString source;
    QString destination;
    std::vector<QString> path;  // digipeaters as written, "*" marks kept
    QString header;             // "SRC>DEST,PATH"
    QString information;        // the information field, after the ':'

    // Position, when the packet carries one.
    bool hasPosition = false;
    PositionFormat positionFormat = PositionFormat::None;
    double latitudeDeg = 0;   // north positive
    double longitudeDeg = 0;  // east positive
    int ambiguity = 0;        // 0..4 digits blanked; the position is the box's centre
    QChar symbolTable;
    QChar symbolCode;

    std::optional<double> speedKmh;
    std::optional<double> courseDeg;
    std::optional<double> altitudeM;

    bool messaging = false;
    QString objectName;   // objects and items, trailing blanks kept as sent
    bool alive = true;    // false for a killed object or item

    QString statusText;   // status packets
    QString comment;
    // 0-based index in information where the comment begins (after the
    // position, the data extension and any weather fields);
    // information.size() when there is no comment.
    int commentOffset = 0;

    bool hasWeather = false;
    WeatherReport weather;

    QString micEMessage;  // Mic-E message type, e.g. "En Route", "Emergency"
};

}  // namespace aprs

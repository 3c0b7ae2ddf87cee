#pragma once

#include <QString>
#include <QStringView>

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
    // Sensor readings a weather report may carry besides the weather.
    std::optional<double> waterLevelM;          // "F": above (or below) flood stage or mean tide
    std::optional<double> batteryVolts;         // "V"
    std::optional<double> radiationNsvPerHour;  // "X": nanosieverts per hour
    std::optional<double> rainCounter;          // "#": the rain gauge's raw count

    bool hasAnyReading() const
    {
        return windDirectionDeg || windSpeedMs || windGustMs || tempC || humidityPercent || pressureHpa || rain1hMm
            || rain24hMm || rainMidnightMm || snow24hMm || luminosityWm2 || waterLevelM || batteryVolts
            || radiationNsvPerHour || rainCounter;
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
    // Digipeaters as written, "*" marks kept: views into header, valid while
    // header is unchanged.
    std::vector<QStringView> path;
    QString header;       // "SRC>DEST,PATH"
    QString information;  // the information field, after the ':'

    // Position, when the packet carries one.
    bool hasPosition = false;
    PositionFormat positionFormat = PositionFormat::None;
    double latitudeDeg = 0;   // north positive
    double longitudeDeg = 0;  // east positive
    int ambiguity = 0;        // 0..4 digits blanked; the position is the box's centre
    QChar symbolTable;
    QChar symbolCode;

    std::optional<double> speedKmh;
    // 1..360 with 360 for north; 0 when the packet carries a course field that
    // says "unknown" (APRS uses 000 for that).
    std::optional<double> courseDeg;
    std::optional<double> altitudeM;

    bool messaging = false;
    QString objectName;  // objects and items, trailing blanks kept as sent
    bool alive = true;   // false for a killed object or item

    QString statusText;  // status packets, without a leading DDHHMMz time stamp
    // The comment as text: information from commentOffset on, less the
    // "/A=" altitude, base-91 telemetry and !DAO! extensions, control bytes,
    // one leading '/' or blank after a data extension, and surrounding blanks;
    // less a Mic-E radio's type byte, device code and 0xFF fill, and a
    // weather report's software and unit tag ("wRSW").
    QString comment;
    // 0-based index in information where the comment begins (after the
    // position, the data extension and any weather fields);
    // information.size() when there is no comment.
    int commentOffset = 0;

    bool hasWeather = false;
    WeatherReport weather;

    QString micEMessage;  // Mic-E message type, e.g. "En Route", "Emergency"
    // The radio a Mic-E packet names by its type codes, e.g. "Kenwood TM-D710",
    // "Yaesu FTM-400DR"; empty when it names none the decoder knows.
    QString radioModel;

    // Time stamp as sent ("092345z", "234517h", "10090556" for positionless
    // weather); empty when the packet has none. Not converted: a DHM stamp
    // needs a reference date the decoder does not have.
    QString timestamp;

    // Worst-case size of the position box in metres (from the number of
    // minute digits sent, ambiguity, compression or !DAO! precision).
    double positionResolutionM = 0;
    std::optional<double> radioRangeKm;  // RNG extension or compressed range
    QString phg;                         // PHG digits as sent, e.g. "7220"
    QString dfs;                         // DFS digits as sent (strength, height, gain, directivity), e.g. "2360"
    // A DF report's bearing (1..360) and its NRQ digits as sent (hits, range, quality), e.g. "729".
    std::optional<double> dfBearingDeg;
    QString dfNrq;
    QString micEBits;  // Mic-E message bits: 0, 1 standard, 2 custom; e.g. "110"

    // Messages, bulletins and announcements (kind Message).
    QString addressee;  // trailing blanks removed
    QString messageText;
    QString messageId;   // the {id of a message that wants an ack
    QString messageAck;  // id acknowledged by an ackNNN message
    QString messageRej;  // id rejected by a rejNNN message

    // Telemetry (T#): sequence and up to five analogue values; absent
    // channels are empty. Bits as sent, padded to eight.
    QString telemetrySequence;
    std::vector<std::optional<double>> telemetryValues;
    QString telemetryBits;
};

}  // namespace aprs

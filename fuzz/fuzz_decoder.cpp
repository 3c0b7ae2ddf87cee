// Feeds arbitrary bytes to the APRS decoder as one TNC2 line. Besides the
// sanitizers' findings, a packet that breaks the decoder's promises aborts,
// and so does a packet decoded into kept storage that differs from a new one.

#include "aprs/AprsDecoder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    const aprs::Packet p = aprs::decode(line);
    // A packet kept from one input to the next decodes as a new one does.
    static aprs::Packet kept;
    aprs::decode(line, kept);
    require(std::string_view(kept.error) == std::string_view(p.error) && kept.kind == p.kind && kept.header == p.header
        && kept.information == p.information && kept.comment == p.comment && kept.commentOffset == p.commentOffset
        && kept.path == p.path && kept.hasPosition == p.hasPosition && kept.latitudeDeg == p.latitudeDeg
        && kept.longitudeDeg == p.longitudeDeg && kept.radioModel == p.radioModel && kept.statusText == p.statusText
        && kept.messageText == p.messageText && kept.hasWeather == p.hasWeather
        && kept.telemetryValues == p.telemetryValues);
    require(p.error != nullptr);
    require(p.commentOffset >= 0 && p.commentOffset <= p.information.size());
    require(p.ambiguity >= 0 && p.ambiguity <= 4);
    if (!p.ok()) {
        require(!p.hasPosition);
        return 0;
    }
    // An empty comment and an offset at the end go together.
    require(p.comment.isEmpty() == (p.commentOffset == p.information.size()));
    if (p.hasPosition) {
        require(std::fabs(p.latitudeDeg) <= 90 && std::fabs(p.longitudeDeg) <= 180);
        require(p.positionFormat != aprs::PositionFormat::None);
    }
    if (p.courseDeg)
        require(*p.courseDeg >= 0 && *p.courseDeg <= 360);
    if (p.speedKmh)
        require(*p.speedKmh >= 0 && std::isfinite(*p.speedKmh));
    const aprs::WeatherReport &w = p.weather;
    if (w.humidityPercent)
        require(*w.humidityPercent >= 0 && *w.humidityPercent <= 100);
    for (const auto &amount : {w.windSpeedMs, w.windGustMs, w.rain1hMm, w.rain24hMm, w.rainMidnightMm, w.snow24hMm})
        require(!amount || *amount >= 0);
    return 0;
}

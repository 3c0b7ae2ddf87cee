#include "report/ReportPage.h"

#include "report/AprsSymbol.h"
#include "report/JsonWriter.h"
#include "report/SeriesGaps.h"

#include <QFile>
#include <stdexcept>

namespace {

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/report/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("report resource missing: " + name.toStdString());
    return file.readAll();
}

void writeStation(JsonWriter &json, const StationSummary &s)
{
    json.beginObject();
    json.key("c").string(s.callsign);
    json.key("k").integer(s.kind);
    json.key("t").integer(s.lastHeard);
    json.key("f").integer(s.firstHeard);
    json.key("n").integer(s.beacons);
    json.key("la").number(s.latitudeDeg, 5);
    json.key("lo").number(s.longitudeDeg, 5);
    json.key("s").string(s.symbol);
    const AprsSymbol symbol = AprsSymbol::lookup(s.symbol);
    json.key("g").string(QString(symbol.glyph));
    if (!symbol.name.isEmpty())
        json.key("sn").string(symbol.name);
    if (!symbol.overlay.isNull())
        json.key("ov").string(QString(symbol.overlay));
    if (s.noFix)
        json.key("nf").integer(1);
    if (s.jumped)
        json.key("j").integer(1);
    if (!s.objectOwner.isEmpty())
        json.key("o").string(s.objectOwner);
    json.key("d").integer(s.heardDirect ? 1 : 0);
    json.key("rp").integer(s.radioPort);
    json.key("km").number(s.distanceKm, 1);
    // A station heard both as fixed and as mobile has both kinds of rows;
    // each keeps its own details.
    if (s.fixedAt) {
        json.key("fx").beginObject();
        json.key("st").string(s.status);
        json.key("cm").string(s.comment);
        json.key("p").string(s.fixedPath);
        json.endObject();
    }
    if (s.mobileAt) {
        json.key("mb").beginObject();
        json.key("sp").number(s.speedKmh, 1);
        json.key("co").integer(s.courseDeg);
        json.key("h").number(s.heightMetres, 1);
        json.key("p").string(s.mobilePath);
        json.endObject();
    }
    // The track of a station that moved while it called itself mobile: its
    // segments, each latitude, longitude, latitude, ...
    if (s.everMobile && s.track.size() > 1) {
        json.key("tr").beginArray();
        json.beginArray();
        for (qsizetype i = 0; i < s.track.size(); ++i) {
            const TrackPoint &point = s.track.at(i);
            if (point.breakBefore && i > 0) {
                json.endArray();
                json.beginArray();
            }
            json.number(point.latitudeDeg, 5);
            json.number(point.longitudeDeg, 5);
        }
        json.endArray();
        json.endArray();
    }
    json.endObject();
}

template <typename Value>
void writeSeries(JsonWriter &json, const char *key, const QList<WeatherSample> &samples, Value value)
{
    json.key(key).beginArray();
    for (const WeatherSample &sample : samples) {
        const std::optional<double> v = value(sample);
        if (v)
            json.number(*v, 2);
        else
            json.null();
    }
    json.endArray();
}

void writeWeather(JsonWriter &json, const QString &callsign, const QList<WeatherSample> &samples)
{
    json.beginObject();
    json.key("c").string(callsign);
    json.key("t").beginArray();
    QList<qint64> times;
    times.reserve(samples.size());
    for (const WeatherSample &sample : samples) {
        json.integer(sample.seconds);
        times << sample.seconds;
    }
    json.endArray();
    // The readings that begin a new line after a time with none.
    json.key("gap").beginArray();
    for (const qsizetype index : SeriesGaps::breaks(times))
        json.integer(index);
    json.endArray();
    using S = WeatherSample;
    using R = std::optional<double>;
    writeSeries(json, "temp", samples, [](const S &s) -> R { return s.tempC; });
    writeSeries(json, "dew", samples, [](const S &s) -> R { return s.dewpointC; });
    writeSeries(json, "pres", samples, [](const S &s) -> R { return s.pressureHpa; });
    writeSeries(json, "hum", samples, [](const S &s) -> R { return s.humidityPercent; });
    writeSeries(json, "wind", samples, [](const S &s) -> R { return s.windSpeedMs; });
    writeSeries(json, "gust", samples, [](const S &s) -> R { return s.windGustMs; });
    writeSeries(json, "dir", samples, [](const S &s) -> R { return s.windDirectionDeg; });
    writeSeries(json, "rain1h", samples, [](const S &s) -> R { return s.rainLastHourMm; });
    writeSeries(json, "rain24h", samples, [](const S &s) -> R { return s.rain24HoursMm; });
    writeSeries(json, "rainDay", samples, [](const S &s) -> R { return s.rainTodayMm; });
    json.endObject();
}

}  // namespace

QByteArray ReportPage::dataJson(const ReportData &data) const
{
    QByteArray out;
    out.reserve(256 * data.stations.size() + 64 * data.weatherRows + 40 * data.stationRows + 4096);
    JsonWriter json(out);
    json.beginObject();
    json.key("title").string(title);
    json.key("timeBase").string(timeBase);
    json.key("generated").string(generatedAt);
    json.key("period").string(data.period.describe());
    if (data.period.start())
        json.key("from").integer(*data.period.start());
    if (data.period.end())
        json.key("until").integer(*data.period.end());
    json.key("rows").beginArray();
    for (const qint64 count : {data.stationRows, data.fixedRows, data.mobileRows, data.weatherRows})
        json.integer(count);
    json.endArray();
    if (home) {
        json.key("home").beginArray();
        json.number(home->first, 5);
        json.number(home->second, 5);
        json.endArray();
    }
    // An empty period: what the table holds outside it.
    if (data.stationRows == 0 && (data.period.start() || data.period.end())) {
        json.key("allRows").integer(data.allStationRows);
        if (!data.newestDtstamp.isEmpty())
            json.key("newest").string(data.newestDtstamp);
    }
    json.key("stations").beginArray(true);
    for (const StationSummary &station : data.stations)
        writeStation(json, station);
    json.endArray();
    json.key("weather").beginArray(true);
    for (const auto &[callsign, samples] : data.weather)
        writeWeather(json, callsign, samples);
    json.endArray();
    json.endObject();
    return out;
}

QByteArray ReportPage::render(const ReportData &data) const
{
    const QByteArray page = resource(QStringLiteral("page.html"));
    const QList<std::pair<QByteArray, QByteArray>> parts = {{"@TITLE@", title.toHtmlEscaped().toUtf8()},
        {"@STYLE@", resource(QStringLiteral("page.css"))}, {"@DATA@", dataJson(data)},
        {"@OUTLINE@", resource(QStringLiteral("countries50.json"))}, {"@SCRIPT@", resource(QStringLiteral("page.js"))}};
    // Each marker is looked for in the page itself, once, from where the one
    // before it was: text put in (a comment, the title) is never searched.
    QByteArray out;
    out.reserve(page.size() + 1024 * 1024);
    qsizetype from = 0;
    for (const auto &[marker, text] : parts) {
        const qsizetype at = page.indexOf(marker, from);
        if (at < 0)
            throw std::runtime_error("report page lacks " + marker.toStdString());
        out += page.mid(from, at - from);
        out += text;
        from = at + marker.size();
    }
    out += page.mid(from);
    return out;
}

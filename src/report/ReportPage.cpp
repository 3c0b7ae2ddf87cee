#include "report/ReportPage.h"

#include <QFile>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/report/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("report resource missing: " + name.toStdString());
    return file.readAll();
}

// A JSON string that is also safe inside <script>: '<' never appears as
// itself, so no "</script>" in a comment can end the element.
void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out += "\\\"";
            break;
        case u'\\':
            out += "\\\\";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u == u'<' || u == u'>' || u == u'&' || u == 0x2028 || u == 0x2029) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(u));
                out += escaped;
            } else if (u < 0x80) {
                out += char(u);
            } else {
                out += QString(c).toUtf8();  // a lone surrogate half becomes U+FFFD
            }
        }
    }
    out += '"';
}

// Shortest text that reads back as the value rounded to the given places.
void appendNumber(QByteArray &out, double value, int places)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    const double scale = std::pow(10.0, places);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0)
        rounded = 0;  // no "-0"
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded);
    out.append(buffer, result.ptr - buffer);
}

void appendInteger(QByteArray &out, qint64 value)
{
    out += QByteArray::number(value);
}

void appendKey(QByteArray &out, const char *key)
{
    out += '"';
    out += key;
    out += "\":";
}

void appendStation(QByteArray &out, const StationSummary &s)
{
    out += '{';
    appendKey(out, "c");
    appendString(out, s.callsign);
    out += ',';
    appendKey(out, "k");
    appendInteger(out, s.kind);
    out += ',';
    appendKey(out, "t");
    appendInteger(out, s.lastHeard);
    out += ',';
    appendKey(out, "f");
    appendInteger(out, s.firstHeard);
    out += ',';
    appendKey(out, "n");
    appendInteger(out, s.beacons);
    out += ',';
    appendKey(out, "la");
    appendNumber(out, s.latitudeDeg, 5);
    out += ',';
    appendKey(out, "lo");
    appendNumber(out, s.longitudeDeg, 5);
    out += ',';
    appendKey(out, "s");
    appendString(out, s.symbol);
    if (!s.objectOwner.isEmpty()) {
        out += ',';
        appendKey(out, "o");
        appendString(out, s.objectOwner);
    }
    out += ',';
    appendKey(out, "d");
    out += s.heardDirect ? "1" : "0";
    out += ',';
    appendKey(out, "rp");
    appendInteger(out, s.radioPort);
    out += ',';
    appendKey(out, "km");
    appendNumber(out, s.distanceKm, 1);
    if (s.fixedAt) {
        out += ',';
        appendKey(out, "st");
        appendString(out, s.status);
        out += ',';
        appendKey(out, "cm");
        appendString(out, s.comment);
        out += ',';
        appendKey(out, "p");
        appendString(out, s.fixedPath);
    }
    if (s.mobileAt) {
        out += ',';
        appendKey(out, "sp");
        appendNumber(out, s.speedKmh, 1);
        out += ',';
        appendKey(out, "co");
        appendInteger(out, s.courseDeg);
        out += ',';
        appendKey(out, "h");
        appendNumber(out, s.heightMetres, 1);
        out += ',';
        appendKey(out, "p");
        appendString(out, s.mobilePath);
    }
    // The track of a station that moved while it called itself mobile.
    if (s.everMobile && s.track.size() > 1) {
        out += ',';
        appendKey(out, "tr");
        out += '[';
        for (qsizetype i = 0; i < s.track.size(); ++i) {
            if (i)
                out += ',';
            appendNumber(out, s.track.at(i).latitudeDeg, 5);
            out += ',';
            appendNumber(out, s.track.at(i).longitudeDeg, 5);
        }
        out += ']';
    }
    out += '}';
}

template <typename Value>
void appendSeries(QByteArray &out, const char *key, const QList<WeatherSample> &samples, Value value)
{
    out += ',';
    appendKey(out, key);
    out += '[';
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (i)
            out += ',';
        const std::optional<double> v = value(samples.at(i));
        if (v)
            appendNumber(out, *v, 2);
        else
            out += "null";
    }
    out += ']';
}

void appendWeather(QByteArray &out, const QString &callsign, const QList<WeatherSample> &samples)
{
    out += '{';
    appendKey(out, "c");
    appendString(out, callsign);
    out += ',';
    appendKey(out, "t");
    out += '[';
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (i)
            out += ',';
        appendInteger(out, samples.at(i).seconds);
    }
    out += ']';
    using S = WeatherSample;
    using R = std::optional<double>;
    appendSeries(out, "temp", samples, [](const S &s) -> R { return s.tempC; });
    appendSeries(out, "dew", samples, [](const S &s) -> R { return s.dewpointC; });
    appendSeries(out, "pres", samples, [](const S &s) -> R { return s.pressureHpa; });
    appendSeries(out, "hum", samples, [](const S &s) -> R { return s.humidityPercent; });
    appendSeries(out, "wind", samples, [](const S &s) -> R { return s.windSpeedMs; });
    appendSeries(out, "gust", samples, [](const S &s) -> R { return s.windGustMs; });
    appendSeries(out, "dir", samples, [](const S &s) -> R { return s.windDirectionDeg; });
    appendSeries(out, "rain1h", samples, [](const S &s) -> R { return s.rainLastHourMm; });
    appendSeries(out, "rain24h", samples, [](const S &s) -> R { return s.rain24HoursMm; });
    appendSeries(out, "rainDay", samples, [](const S &s) -> R { return s.rainTodayMm; });
    out += '}';
}

}  // namespace

QByteArray ReportPage::dataJson(const ReportData &data) const
{
    QByteArray out;
    out.reserve(256 * data.stations.size() + 64 * data.weatherRows + 40 * data.stationRows + 4096);
    out += '{';
    appendKey(out, "title");
    appendString(out, title);
    out += ',';
    appendKey(out, "timeBase");
    appendString(out, timeBase);
    out += ',';
    appendKey(out, "generated");
    appendString(out, generatedAt);
    out += ',';
    appendKey(out, "period");
    appendString(out, data.period.describe());
    if (data.period.start()) {
        out += ',';
        appendKey(out, "from");
        appendInteger(out, *data.period.start());
    }
    if (data.period.end()) {
        out += ',';
        appendKey(out, "until");
        appendInteger(out, *data.period.end());
    }
    out += ',';
    appendKey(out, "rows");
    out += '[';
    for (const qint64 count : {data.stationRows, data.fixedRows, data.mobileRows, data.weatherRows}) {
        appendInteger(out, count);
        out += ',';
    }
    out.chop(1);
    out += "],";
    appendKey(out, "stations");
    out += "[\n";
    for (qsizetype i = 0; i < data.stations.size(); ++i) {
        if (i)
            out += ",\n";
        appendStation(out, data.stations.at(i));
    }
    out += "],";
    appendKey(out, "weather");
    out += "[\n";
    bool first = true;
    for (const auto &[callsign, samples] : data.weather) {
        if (!first)
            out += ",\n";
        first = false;
        appendWeather(out, callsign, samples);
    }
    out += "]}";
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

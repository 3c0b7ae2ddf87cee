#include "aprs/AprsDecoder.h"

#include "aprs/ByteScan.h"
#include "aprs/DecodeState.h"
#include "aprs/MessageDecoder.h"
#include "aprs/MicEDecoder.h"
#include "aprs/NmeaDecoder.h"
#include "aprs/PacketText.h"
#include "aprs/PositionDecoder.h"
#include "aprs/WeatherDecoder.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>

namespace aprs {

namespace {

using detail::ByteSpan;
using detail::DecodeState;

// Where the byte c is in s from from on, or npos: headers are short, and a
// plain loop beats a call to memchr for them.
std::size_t findByte(std::string_view s, char c, std::size_t from = 0)
{
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] == c)
            return i;
    }
    return std::string_view::npos;
}

struct Header {
    std::string_view text;  // "SRC>DEST,PATH"
    std::string_view source;
    std::string_view destination;  // with SSID
    std::string_view path;         // "PATH" without trailing empty elements
};

// Letters, digits and '-': what APRS-IS allows in a call.
constexpr std::array<bool, 256> callChars = [] {
    std::array<bool, 256> table {};
    for (int c = 0; c < 256; ++c)
        table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
    return table;
}();

bool allCallChars(std::string_view s)
{
    for (const char c : s) {
        if (!callChars[static_cast<unsigned char>(c)])
            return false;
    }
    return true;
}

// AX.25 call: 1-6 capitals or digits, then an optional SSID 0-15.
bool isAx25Call(std::string_view call)
{
    const std::size_t dash = findByte(call, '-');
    const std::string_view base = call.substr(0, dash);
    if (base.empty() || base.size() > 6)
        return false;
    for (const char c : base) {
        if (!detail::isUpper(c) && !detail::isDigit(c))
            return false;
    }
    if (dash == std::string_view::npos)
        return true;
    const std::string_view ssid = call.substr(dash + 1);
    return ssid.size() >= 1 && ssid.size() <= 2 && detail::allDigits(ssid) && detail::digitsValue(ssid) <= 15;
}

bool isUpperHex32(std::string_view s)
{
    if (s.size() != 32)
        return false;
    for (const char c : s) {
        if (!detail::isDigit(c) && !(c >= 'A' && c <= 'F'))
            return false;
    }
    return true;
}

// APRS-IS allows longer calls and lower case in the source and the path, but a
// destination must still be an AX.25 address (it carries Mic-E data and
// software ids). After the q construct, a 32-digit hex IPv6 address may appear.
const char *readHeader(std::string_view text, Header &h)
{
    h.text = text;
    const std::size_t gt = findByte(text, '>');
    if (gt == std::string_view::npos || gt == 0 || gt > 9)
        return "srccall_badchars";
    h.source = text.substr(0, gt);
    if (!allCallChars(h.source))
        return "srccall_badchars";

    std::string_view rest = text.substr(gt + 1);
    while (!rest.empty() && rest.back() == ',')
        rest.remove_suffix(1);
    if (rest.empty())
        return "dstcall_none";
    const std::size_t comma = findByte(rest, ',');
    h.destination = rest.substr(0, comma);
    if (!isAx25Call(h.destination))
        return "dstcall_noax25";
    h.path = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);

    bool seenQConstruct = false;
    std::size_t start = 0;
    while (comma != std::string_view::npos && start <= h.path.size()) {
        const std::size_t next = findByte(h.path, ',', start);
        const std::string_view element =
            h.path.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start);
        std::string_view call = element;
        if (!call.empty() && call.back() == '*')
            call.remove_suffix(1);
        if (!call.empty() && call.size() <= 9 && allCallChars(call)) {
            if (call.size() == 3 && call[0] == 'q')
                seenQConstruct = true;
        } else if (!(seenQConstruct && isUpperHex32(element))) {
            return "digicall_badchars";
        }
        if (next == std::string_view::npos)
            break;
        start = next + 1;
    }
    return nullptr;
}

std::string_view withoutSsid(std::string_view call)
{
    return call.substr(0, call.find('-'));
}

bool isCompressedStart(char c)
{
    return c == '/' || c == '\\' || detail::isUpper(c) || (c >= 'a' && c <= 'j');
}

// A position (uncompressed or compressed) at offset, then what follows it.
const char *decodePositionAt(DecodeState &state, std::size_t offset, const char *noPosition)
{
    const std::string_view info = state.info;
    if (offset >= info.size())
        return "loc_short";
    const char c = info[offset];
    if (detail::isDigit(c)) {
        if (const char *e = detail::decodeUncompressedPosition(state, offset))
            return e;
        detail::decodeAfterPosition(state, offset + 19);
        return nullptr;
    }
    if (isCompressedStart(c)) {
        if (const char *e = detail::decodeCompressedPosition(state, offset))
            return e;
        detail::decodeAfterPosition(state, offset + 13);
        return nullptr;
    }
    return noPosition;
}

bool looksLikeTimestamp(std::string_view s)
{
    return s.size() == 7 && detail::allDigits(s.substr(0, 6)) && (s[6] == 'z' || s[6] == 'h' || s[6] == '/');
}

// !4903.50N/07201.75W-Test   =...   /092345z4903.50N/...   @092345z/5L!!<*e7>{?!
const char *decodePositionReport(DecodeState &state)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    p.kind = PacketKind::Position;
    p.messaging = info[0] == '=' || info[0] == '@';
    if (info.size() < 14)
        return "packet_short";
    std::size_t offset = 1;
    if (info[0] == '/' || info[0] == '@') {
        if (looksLikeTimestamp(info.substr(1, 7)))
            state.timestamp = ByteSpan::of(1, 7);
        offset = 8;
    }
    if (info[offset] == '!') {
        // !!0000005A... is an Ultimeter logging-mode weather frame
        p.kind = PacketKind::Weather;
        if (!detail::decodeUltimeterLogging(info.substr(offset + 1), p.weather))
            return "wx_unsupp";
        return p.weather.hasAnyReading() ? nullptr : "wx_inv";
    }
    return decodePositionAt(state, offset, "packet_invalid");
}

// ;LEADER   *092345z4903.50N/07201.75W>088/036
const char *decodeObject(DecodeState &state)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    p.kind = PacketKind::Object;
    if (info.size() < 31)
        return "obj_short";
    for (std::size_t k = 1; k < 10; ++k) {
        if (!detail::inRange(info, k, 0x20, 0x7e))
            return "obj_inv";
    }
    if ((info[10] != '*' && info[10] != '_') || !looksLikeTimestamp(info.substr(11, 7)))
        return "obj_inv";
    state.objectName = ByteSpan::of(1, 9);
    state.timestamp = ByteSpan::of(11, 7);
    p.alive = info[10] == '*';
    return decodePositionAt(state, 18, "obj_dec_err");
}

// )AID #2!4903.50N/07201.75WA
const char *decodeItem(DecodeState &state)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    p.kind = PacketKind::Item;
    if (info.size() < 18)
        return "item_short";
    // The name is 3-9 printable bytes other than '!' and '_', which end it.
    std::size_t end = 1;
    while (end < info.size() && end <= 10 && detail::inRange(info, end, 0x20, 0x7e) && info[end] != '!'
        && info[end] != '_')
        ++end;
    const std::size_t length = end - 1;
    if (length < 3 || length > 9 || end >= info.size() || (info[end] != '!' && info[end] != '_'))
        return "item_inv";
    state.objectName = ByteSpan::of(1, length);
    p.alive = info[end] == '!';
    return decodePositionAt(state, end + 1, "item_dec_err");
}

// _10090556c220s004g005t077r000p000P000h50b09900wRSW
const char *decodePositionlessWeather(DecodeState &state)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    p.kind = PacketKind::Weather;
    if (info.size() < 10 || !detail::allDigits(info.substr(1, 8)) || info[9] != 'c')
        return "wx_unsupp";
    state.timestamp = ByteSpan::of(1, 8);
    const std::size_t end = detail::decodeWeatherFields(info, 9, p.weather);
    if (!p.weather.hasAnyReading())
        return "wx_inv";
    detail::decodeComment(state, end, false, false);
    return nullptr;
}

// $ULTW..., $GPRMC..., $GPGGA...
const char *decodeDollar(DecodeState &state, std::string_view destination)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    if (info.substr(0, 5) == "$ULTW") {
        p.kind = PacketKind::Weather;
        if (!detail::decodeUltimeterData(info.substr(5), p.weather))
            return "wx_unsupp";
        return p.weather.hasAnyReading() ? nullptr : "wx_inv";
    }
    if (info.substr(0, 3) == "$GP" || info.substr(0, 3) == "$GN") {
        p.kind = PacketKind::Position;
        return detail::decodeNmea(state, destination);
    }
    return "unknown";
}

// Any other data type: a '!' in the first 40 bytes starts a position
// ("hoponassualku!6028.51S/02505.68W#...").
const char *decodeLatePosition(DecodeState &state)
{
    const std::size_t bang = state.info.find('!');
    if (bang == std::string_view::npos || bang > 39)
        return "unknown";
    const std::size_t offset = bang + 1;
    if (offset >= state.info.size())
        return "unknown";
    const char c = state.info[offset];
    if (!detail::isDigit(c) && !isCompressedStart(c))
        return "unknown";
    state.packet.kind = PacketKind::Position;
    return decodePositionAt(state, offset, "unknown");
}

const char *decodeBody(DecodeState &state, std::string_view destination)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    if (info.empty())
        return "packet_nobody";
    switch (info[0]) {
    case '`':
    case '\'':
        p.kind = PacketKind::MicE;
        return detail::decodeMicE(state, withoutSsid(destination));
    case '!':
    case '=':
    case '/':
    case '@':
        return decodePositionReport(state);
    case '_':
        return decodePositionlessWeather(state);
    case ';':
        return decodeObject(state);
    case ')':
        return decodeItem(state);
    case '$':
        return decodeDollar(state, destination);
    case ':':
        p.kind = PacketKind::Message;
        return detail::decodeMessage(state);
    case '>':
        p.kind = PacketKind::Status;
        return detail::decodeStatus(state);
    case '<':
        p.kind = PacketKind::Other;
        return detail::decodeCapabilities(state);
    case '{':
        if (info.substr(0, 2) == "{{")
            return "exp_unsupp";
        break;
    case 'T':
        if (info.substr(0, 2) == "T#" && info.find(',') != std::string_view::npos) {
            p.kind = PacketKind::Telemetry;
            return detail::decodeTelemetry(state);
        }
        break;
    default:
        break;
    }
    return decodeLatePosition(state);
}

void assignSpan(QString &target, const DecodeState &state, const ByteSpan &span)
{
    if (span.present)
        text::assign(target, span.in(state.info));
}

void assignLatin1Span(QString &target, const DecodeState &state, const ByteSpan &span)
{
    if (span.present)
        text::assignLatin1(target, span.in(state.info));
}

// The comment bytes less the cut spans, a leading delimiter, control bytes and
// surrounding blanks.
void assignComment(QString &target, const DecodeState &state)
{
    const std::string_view info = state.info;
    const std::size_t commentEnd = state.commentEnd;
    // At most three cuts: an insertion sort by position.
    std::array<ByteSpan, 3> cuts = state.cuts;
    for (int i = 1; i < state.cutCount; ++i) {
        for (int j = i; j > 0 && cuts[j].begin < cuts[j - 1].begin; --j)
            std::swap(cuts[j], cuts[j - 1]);
    }

    QVarLengthArray<char, 256> bytes;
    std::size_t pos = state.commentBegin;
    auto append = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            const auto c = static_cast<unsigned char>(info[k]);
            if (c >= 0x20 && c != 0x7f)
                bytes.append(static_cast<char>(c));
        }
    };
    bool first = true;
    for (int i = 0; i <= state.cutCount; ++i) {
        const std::size_t to = std::min(i < state.cutCount ? cuts[i].begin : commentEnd, commentEnd);
        std::size_t from = pos;
        if (first && state.skipDelimiter && from < to && (info[from] == '/' || detail::isBlank(info[from])))
            ++from;
        if (from < to || i < state.cutCount)
            first = false;
        if (from < to)
            append(from, to);
        if (i < state.cutCount)
            pos = cuts[i].begin + cuts[i].size;
    }
    text::assign(
        target, detail::trimBlanks(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

// Only for a header readHeader accepted: all of it is then ASCII. The path
// elements are views into the packet's header.
void fillHeader(Packet &p, const Header &h)
{
    text::assignLatin1(p.header, h.text);
    text::assignLatin1(p.source, h.source);
    text::assignLatin1(p.destination, h.destination);
    p.path.clear();
    if (h.path.empty())
        return;
    const QStringView header(p.header);
    const auto pathStart = static_cast<qsizetype>(h.path.data() - h.text.data());
    std::size_t start = 0;
    for (;;) {
        const std::size_t next = findByte(h.path, ',', start);
        const std::size_t end = next == std::string_view::npos ? h.path.size() : next;
        p.path.push_back(header.mid(pathStart + static_cast<qsizetype>(start), static_cast<qsizetype>(end - start)));
        if (next == std::string_view::npos)
            break;
        start = next + 1;
    }
}

void fillText(DecodeState &state)
{
    Packet &p = state.packet;
    const std::string_view info = state.info;
    const text::Encoding encoding = text::classify(info);
    text::assign(p.information, info, encoding);

    p.commentOffset = static_cast<int>(p.information.size());
    if (state.hasComment) {
        assignComment(p.comment, state);
        if (!p.comment.isEmpty())
            p.commentOffset = static_cast<int>(text::utf16Length(info.substr(0, state.commentBegin), encoding));
    }
    assignLatin1Span(p.timestamp, state, state.timestamp);
    assignLatin1Span(p.objectName, state, state.objectName);
    assignSpan(p.statusText, state, state.statusText);
    assignLatin1Span(p.addressee, state, state.addressee);
    assignSpan(p.messageText, state, state.messageText);
    assignLatin1Span(p.messageId, state, state.messageId);
    assignLatin1Span(p.messageAck, state, state.messageAck);
    assignLatin1Span(p.messageRej, state, state.messageRej);
    assignLatin1Span(p.phg, state, state.phg);
    assignLatin1Span(p.dfs, state, state.dfs);
    assignLatin1Span(p.dfNrq, state, state.dfNrq);
    assignLatin1Span(p.telemetrySequence, state, state.telemetrySequence);
    if (state.telemetryBits.present) {
        // Bits as sent, padded with zeros to eight.
        char bits[8] = {'0', '0', '0', '0', '0', '0', '0', '0'};
        const std::string_view sent = state.telemetryBits.in(state.info);
        std::copy_n(sent.data(), std::min<std::size_t>(sent.size(), 8), bits);
        text::assignLatin1(p.telemetryBits, std::string_view(bits, 8));
    }
    p.hasWeather = p.weather.hasAnyReading();
}

// Back to a packet with nothing decoded; text keeps its storage.
void reset(Packet &p)
{
    for (QString *s : {&p.source, &p.destination, &p.header, &p.information, &p.statusText, &p.comment, &p.micEMessage,
             &p.radioModel, &p.timestamp, &p.phg, &p.dfs, &p.dfNrq, &p.micEBits, &p.addressee, &p.messageText,
             &p.messageId, &p.messageAck, &p.messageRej, &p.telemetrySequence, &p.telemetryBits, &p.objectName}) {
        if (s->isEmpty())
            continue;
        // Static text (a model name) has no storage to keep.
        if (s->isDetached() && s->capacity() > 0)
            s->resize(0);
        else
            *s = QString();
    }
    p.error = "";
    p.kind = PacketKind::Unknown;
    p.path.clear();
    p.hasPosition = false;
    p.positionFormat = PositionFormat::None;
    p.latitudeDeg = 0;
    p.longitudeDeg = 0;
    p.ambiguity = 0;
    p.symbolTable = QChar();
    p.symbolCode = QChar();
    p.speedKmh.reset();
    p.courseDeg.reset();
    p.altitudeM.reset();
    p.messaging = false;
    p.alive = true;
    p.commentOffset = 0;
    p.hasWeather = false;
    p.weather = WeatherReport();
    p.positionResolutionM = 0;
    p.radioRangeKm.reset();
    p.dfBearingDeg.reset();
    p.telemetryValues.clear();
}

// A rejected packet keeps only what identifies it: the reason, the kind and
// the header and information as received.
void reject(Packet &p, const char *error, PacketKind kind, const Header &header, bool headerRead, std::string_view info)
{
    reset(p);
    p.error = error;
    p.kind = kind;
    if (headerRead)
        fillHeader(p, header);
    else
        text::assign(p.header, header.text);
    text::assign(p.information, info);
    p.commentOffset = static_cast<int>(p.information.size());
}

}  // namespace

void decode(std::string_view tnc2Line, Packet &packet)
{
    std::string_view line = tnc2Line;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);

    reset(packet);
    if (line.empty()) {
        packet.error = "packet_short";
        return;
    }

    // Third-party packets ("}" and a whole packet) are unwrapped until the
    // innermost one, which is the one described.
    Header header;
    std::string_view info;
    for (;;) {
        const std::size_t colon = findByte(line, ':');
        if (colon == std::string_view::npos) {
            header.text = line;
            const bool headerRead = readHeader(line, header) == nullptr;
            return reject(packet, "packet_nobody", PacketKind::Unknown, header, headerRead, {});
        }
        if (const char *e = readHeader(line.substr(0, colon), header))
            return reject(packet, e, PacketKind::Unknown, header, false, line.substr(colon + 1));
        info = line.substr(colon + 1);
        if (info.empty() || info[0] != '}')
            break;
        line = info.substr(1);
        if (line.empty())
            return reject(packet, "packet_short", PacketKind::Unknown, header, true, info);
    }

    DecodeState state(packet);
    state.info = info;
    if (const char *e = decodeBody(state, header.destination))
        return reject(packet, e, packet.kind, header, true, info);
    fillHeader(packet, header);
    fillText(state);
}

Packet decode(std::string_view tnc2Line)
{
    Packet packet;
    decode(tnc2Line, packet);
    return packet;
}

}  // namespace aprs

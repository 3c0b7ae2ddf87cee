#include "aprs/MessageDecoder.h"

#include "aprs/ByteScan.h"

#include <cmath>

namespace aprs::detail {

namespace {

bool isAddresseeChar(char c)
{
    return isAlnum(c) || c == '_' || c == ' ' || c == '-';
}

// Message text may carry any byte but the control bytes (and 0xFF, which
// TNCs use as a frame marker).
bool isMessageByte(unsigned char c)
{
    return (c >= 0x20 && c <= 0x7e) || (c >= 0x80 && c <= 0xfe);
}

// Up to five letters or digits from at; returns the count.
std::size_t idLength(std::string_view info, std::size_t at)
{
    std::size_t k = 0;
    while (at + k < info.size() && k < 5 && isAlnum(info[at + k]))
        ++k;
    return k;
}

bool onlyBlanksFrom(std::string_view info, std::size_t at)
{
    for (std::size_t k = at; k < info.size(); ++k) {
        if (!isBlank(info[k]))
            return false;
    }
    return true;
}

// "ack12" or "rej12", then blanks, or the "}AA" of a reply-ack; returns the id span.
bool ackOrRej(std::string_view info, std::string_view keyword, ByteSpan &id)
{
    if (info.substr(11, 3) != keyword)
        return false;
    const std::size_t length = idLength(info, 14);
    if (length == 0)
        return false;
    std::size_t end = 14 + length;
    if (end < info.size() && info[end] == '}')
        end += 1 + idLength(info, end + 1);
    if (!onlyBlanksFrom(info, end))
        return false;
    id = ByteSpan::of(14, length);
    return true;
}

}  // namespace

// :WU2Z     :Testing{003   and the reply-ack form   :WU2Z     :Testing{03}01
//
// Some gateways pass on a message with a NUL byte and garbage after it: the
// message ends at the NUL.
const char *decodeMessage(DecodeState &state)
{
    const std::string_view info = state.info.substr(0, state.info.find('\0', 11));
    if (info.size() < 12 || info[10] != ':')
        return "msg_inv";
    for (std::size_t k = 1; k < 10; ++k) {
        if (!isAddresseeChar(info[k]))
            return "msg_inv";
    }
    for (std::size_t k = 11; k < info.size(); ++k) {
        if (!isMessageByte(byteAt(info, k)))
            return "msg_inv";
    }
    std::size_t addresseeLength = 9;
    while (addresseeLength > 0 && info[addresseeLength] == ' ')
        --addresseeLength;
    state.addressee = ByteSpan::of(1, addresseeLength);

    if (ackOrRej(info, "ack", state.messageAck) || ackOrRej(info, "rej", state.messageRej))
        return nullptr;

    // The id is 1-5 letters or digits after the first '{'; a reply-ack adds
    // '}' and the id of the message this one acknowledges.
    std::size_t textEnd = info.size();
    const std::size_t brace = info.find('{', 11);
    if (brace != std::string_view::npos) {
        const std::size_t length = idLength(info, brace + 1);
        std::size_t end = brace + 1 + length;
        std::size_t ackLength = 0;
        if (length > 0 && end < info.size() && info[end] == '}') {
            ackLength = idLength(info, end + 1);
            end += 1 + ackLength;
        }
        if (length > 0 && onlyBlanksFrom(info, end)) {
            state.messageId = ByteSpan::of(brace + 1, length);
            if (ackLength > 0)
                state.messageAck = ByteSpan::of(brace + length + 2, ackLength);
            textEnd = brace;
        }
    }
    // Blanks at the end only pad the text.
    while (textEnd > 11 && isBlank(info[textEnd - 1]))
        --textEnd;
    state.messageText = ByteSpan::of(11, textEnd - 11);
    return nullptr;
}

// >Net Control Center    or    >092345zNet Control Center
const char *decodeStatus(DecodeState &state)
{
    const std::string_view info = state.info;
    std::size_t end = info.size();
    while (end > 1 && isBlank(info[end - 1]))
        --end;
    std::size_t begin = 1;
    if (end >= 8 && allDigits(info.substr(1, 6)) && info[7] == 'z') {
        state.timestamp = ByteSpan::of(1, 7);
        begin = 8;
    }
    state.statusText = ByteSpan::of(begin, end - begin);
    return nullptr;
}

// T#005,199,000,255,073,123,01101001
const char *decodeTelemetry(DecodeState &state)
{
    const std::string_view info = state.info;
    Packet &p = state.packet;
    std::size_t comma = info.find(',', 2);
    if (comma == std::string_view::npos)
        return "tlm_inv";
    const std::string_view sequence = info.substr(2, comma - 2);
    if (sequence.empty() || sequence.size() > 5)
        return "tlm_inv";
    for (const char c : sequence) {
        if (!isAlnum(c))
            return "tlm_inv";
    }
    state.telemetrySequence = ByteSpan::of(2, sequence.size());

    p.telemetryValues.assign(5, std::nullopt);
    std::size_t start = comma + 1;
    int field = 0;
    bool valuesEnded = false;
    for (; field < 6 && start <= info.size(); ++field) {
        comma = info.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? info.size() : comma;
        const std::string_view raw = info.substr(start, end - start);
        if (field == 5) {
            // Up to eight binary digits, padded with zeros; anything after them is a comment.
            const std::string_view text = trimBlanks(raw);
            std::size_t count = 0;
            while (count < text.size() && count < 8 && (text[count] == '0' || text[count] == '1'))
                ++count;
            if (count > 0)
                state.telemetryBits = ByteSpan::of(static_cast<std::size_t>(text.data() - info.data()), count);
            break;
        }
        if (!valuesEnded) {
            const std::string_view text = trimBlanks(raw);
            if (!text.empty()) {
                if (const auto v = parseDecimal(text, true)) {
                    if (std::fabs(*v) > 2147483648.0 || *v > 2147483647.0)
                        return "tlm_large";
                    p.telemetryValues[field] = *v;
                } else if (field == 0 || text == "-" || text.back() == '.') {
                    return "tlm_inv";
                } else {
                    valuesEnded = true;  // words after the values are a comment
                }
            }
        }
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return nullptr;
}

// <IGATE,MSG_CNT=30,LOC_CNT=2
const char *decodeCapabilities(DecodeState &state)
{
    for (const char c : state.info.substr(1)) {
        if (!isBlank(c) && c != ',' && c != '=')
            return nullptr;
    }
    return "unknown";
}

}  // namespace aprs::detail

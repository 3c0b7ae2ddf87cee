#include "aprs/MessageDecoder.h"

#include "aprs/ByteScan.h"

#include <cmath>

namespace aprs::detail {

namespace {

bool isAddresseeChar(char c) { return isAlnum(c) || c == '_' || c == ' ' || c == '-'; }

bool isMessageIdChar(char c) { return isAlnum(c) || c == '}'; }

// Message text may carry any byte but the control bytes (and 0xFF, which
// TNCs use as a frame marker).
bool isMessageByte(unsigned char c) { return (c >= 0x20 && c <= 0x7e) || (c >= 0x80 && c <= 0xfe); }

// "ack12" or "rej12" followed only by blanks; returns the id span.
bool ackOrRej(std::string_view info, std::size_t textBegin, std::string_view keyword, ByteSpan &id)
{
    const std::string_view text = info.substr(textBegin);
    if (text.substr(0, 3) != keyword)
        return false;
    std::size_t k = 3;
    while (k < text.size() && k < 8 && isMessageIdChar(text[k]))
        ++k;
    if (k == 3)
        return false;
    for (std::size_t j = k; j < text.size(); ++j) {
        if (!isBlank(text[j]))
            return false;
    }
    id = ByteSpan::of(textBegin + 3, k - 3);
    return true;
}

}  // namespace

// :WU2Z     :Testing{003
const char *decodeMessage(DecodeState &state)
{
    const std::string_view info = state.info;
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

    if (ackOrRej(info, 11, "ack", state.messageAck) || ackOrRej(info, 11, "rej", state.messageRej))
        return nullptr;

    // "text{id": the id is 1-5 letters, digits or '}' at the very end.
    const std::size_t brace = info.find('{', 11);
    if (brace != std::string_view::npos) {
        std::size_t k = brace + 1;
        while (k < info.size() && k < brace + 6 && isMessageIdChar(info[k]))
            ++k;
        std::size_t end = k;
        while (end < info.size() && isBlank(info[end]))
            ++end;
        if (k > brace + 1 && end == info.size()) {
            state.messageText = ByteSpan::of(11, brace - 11);
            state.messageId = ByteSpan::of(brace + 1, k - brace - 1);
            return nullptr;
        }
    }
    state.messageText = ByteSpan::of(11, info.size() - 11);
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
            // Eight binary digits; anything after them is a comment.
            const std::string_view bits = trimBlanks(raw).substr(0, 8);
            bool ok = bits.size() == 8;
            for (const char c : bits)
                ok = ok && (c == '0' || c == '1');
            if (ok)
                state.telemetryBits = ByteSpan::of(static_cast<std::size_t>(bits.data() - info.data()), 8);
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

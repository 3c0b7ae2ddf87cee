#pragma once

#include "aprs/AprsPacket.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace aprs::detail {

// A part of the information field, in bytes.
struct ByteSpan {
    std::size_t begin = 0;
    std::size_t size = 0;
    bool present = false;

    static ByteSpan of(std::size_t begin, std::size_t size) { return {begin, size, true}; }
    std::string_view in(std::string_view info) const { return info.substr(begin, size); }
};

// The work of one decode. Numbers go straight into the packet; text stays a
// byte span of the information field until the end, when each text field
// becomes a QString once, in its own encoding.
struct DecodeState {
    explicit DecodeState(Packet &target) : packet(target) { }

    Packet &packet;
    std::string_view info;

    ByteSpan timestamp;
    ByteSpan objectName;
    ByteSpan statusText;
    ByteSpan addressee;
    ByteSpan messageText;
    ByteSpan messageId;
    ByteSpan messageAck;
    ByteSpan messageRej;
    ByteSpan phg;
    ByteSpan telemetrySequence;
    ByteSpan telemetryBits;

    ByteSpan dfs;
    ByteSpan dfNrq;

    // The comment runs from commentBegin to commentEnd (the end of the
    // information field but for a Mic-E device code and fill), less the cut spans
    // (altitude, base-91 telemetry, !DAO!).
    bool hasComment = false;
    std::size_t commentBegin = 0;
    std::size_t commentEnd = 0;
    bool skipDelimiter = false;  // a leading '/' or blank only separates an extension
    std::array<ByteSpan, 3> cuts {};
    int cutCount = 0;

    bool overlapsCut(std::size_t begin, std::size_t size) const
    {
        for (int i = 0; i < cutCount; ++i) {
            if (begin < cuts[i].begin + cuts[i].size && cuts[i].begin < begin + size)
                return true;
        }
        return false;
    }

    void cut(std::size_t begin, std::size_t size)
    {
        if (cutCount < static_cast<int>(cuts.size()))
            cuts[cutCount++] = ByteSpan::of(begin, size);
    }
};

}  // namespace aprs::detail

// libFuzzer target: one line of an old log through keldan-import's line
// parser (stamps without a zone taken as UTC, so that no run depends on the
// machine's zone). Besides memory errors it checks the parser's promises: a
// packet is a TNC2 line, taken unchanged from the input unless aprx's escapes
// were decoded or a Dire Wolf row rebuilt, and blanks before the line and line
// ends after it change nothing.
#include "import/LogLineParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool same(const LogLineParser::Line &a, const LogLineParser::Line &b)
{
    return a.kind == b.kind && a.packet == b.packet && a.time == b.time && a.time.isValid() == b.time.isValid();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const LogLineParser parser(Qt::UTC);

    const LogLineParser::Line line = parser.parse(raw);
    if (line.kind == LogLineParser::Kind::Packet) {
        require(LogLineParser::looksLikeTnc2(line.packet));
        if (line.format != LogLineParser::Format::Aprx && line.format != LogLineParser::Format::DireWolf)
            require(raw.indexOf(line.packet) >= 0);
    } else {
        require(line.packet.isEmpty());
    }

    require(same(parser.parse(" \t" + raw.toByteArray()), line));
    require(same(parser.parse(raw.toByteArray() + "\r\n"), line));
    return 0;
}

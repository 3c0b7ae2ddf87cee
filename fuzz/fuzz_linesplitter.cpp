// libFuzzer target: a text stream through the line splitter of the APRS-IS
// and log feeds. The first byte sets the longest line (1 to 256 bytes), the
// rest is the stream. Besides memory errors it checks that every line is
// non-empty, has no line end and fits, and that reads of any size give the
// same lines and the same count of overlong lines.
#include "linuxhost/feeds/LineSplitter.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype maxLineBytes = 1 + data[0];
    const QByteArrayView stream(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    LineSplitter whole(maxLineBytes);
    QList<QByteArray> lines;
    whole.feed(stream, lines);
    whole.finish(lines);
    for (const QByteArray &line : lines)
        require(!line.isEmpty() && line.size() <= maxLineBytes && !line.contains('\r') && !line.contains('\n'));

    // The same bytes in reads of 1 to 16 bytes, the sizes taken from the data.
    LineSplitter pieces(maxLineBytes);
    QList<QByteArray> again;
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype n = std::min<qsizetype>(1 + (uchar(stream[at]) % 16), stream.size() - at);
        pieces.feed(stream.sliced(at, n), again);
        at += n;
    }
    pieces.finish(again);
    require(again == lines && pieces.overlongLines() == whole.overlongLines());

    // After a reset the splitter starts afresh, as a new splitter does.
    pieces.feed(stream.first(stream.size() / 2), again);
    pieces.reset();
    QList<QByteArray> afterReset;
    pieces.feed(stream, afterReset);
    pieces.finish(afterReset);
    require(afterReset == lines);
    return 0;
}

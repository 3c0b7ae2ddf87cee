// libFuzzer target: a KISS byte stream through the deframer and every frame
// through the AX.25 decoder. Besides memory errors it checks that the frames
// do not depend on how the stream is split into reads, and that every line
// the decoder gives is one TNC2 line.
#include "linuxhost/kiss/Ax25Decoder.h"
#include "linuxhost/kiss/KissDeframer.h"

#include <cstdint>
#include <cstdlib>

namespace {

void checkLine(const QByteArray &line)
{
    const qsizetype arrow = line.indexOf('>');
    const qsizetype colon = line.indexOf(':');
    if (arrow <= 0 || colon < arrow + 2 || line.contains('\r') || line.contains('\n'))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView stream(reinterpret_cast<const char *>(data), qsizetype(size));

    KissDeframer whole;
    const QList<KissFrame> frames = whole.feed(stream);
    for (const KissFrame &frame : frames) {
        if (frame.port < 0 || frame.port > 15 || frame.data.isEmpty()
            || frame.data.size() > KissDeframer::MaxFrameBytes)
            std::abort();
        if (const std::optional<QByteArray> line = Ax25Decoder::decodeUiFrame(frame.data))
            checkLine(*line);
    }

    // The same bytes in reads of 1 to 7 bytes, the sizes taken from the data.
    KissDeframer pieces;
    QList<KissFrame> again;
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype n = std::min<qsizetype>(1 + (data[at] % 7), stream.size() - at);
        pieces.feed(stream.sliced(at, n), again);
        at += n;
    }
    if (again.size() != frames.size() || pieces.droppedFrames() != whole.droppedFrames()
        || pieces.overlongFrames() != whole.overlongFrames())
        std::abort();
    for (qsizetype i = 0; i < frames.size(); ++i) {
        if (again[i].port != frames[i].port || again[i].data != frames[i].data)
            std::abort();
    }
    return 0;
}

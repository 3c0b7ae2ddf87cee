// libFuzzer target: a byte stream from an AGW server through AgwSource's
// message reader and the AX.25 decoder, without a socket (the source is never
// started, so a message that breaks the protocol only empties its buffer).
// Besides memory errors it checks that every packet is one TNC2 line on a
// radio port 1 to 256, and that reads of any size give the same packets up to
// the first message the source refuses.
#include "linuxhost/feeds/AgwSource.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Opens the reader the socket would call.
class StreamAgwSource : public AgwSource
{
public:
    StreamAgwSource() : AgwSource(QStringLiteral("127.0.0.1"), DefaultPort)
    {
        connect(this, &PacketSource::packetReceived, this, [this](const QByteArray &line, qint16 radioPort) {
            packets.append({line, radioPort});
        });
    }
    using AgwSource::bytesArrived;

    QList<std::pair<QByteArray, qint16>> packets;
};

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView stream(reinterpret_cast<const char *>(data), qsizetype(size));

    StreamAgwSource whole;
    whole.bytesArrived(stream);
    for (const auto &[line, radioPort] : whole.packets) {
        const qsizetype arrow = line.indexOf('>');
        const qsizetype colon = line.indexOf(':');
        require(arrow > 0 && colon > arrow + 1 && !line.contains('\r') && !line.contains('\n'));
        require(radioPort >= 1 && radioPort <= 256);
    }

    // The same bytes in reads of 1 to 64 bytes, the sizes taken from the data.
    StreamAgwSource pieces;
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype n = std::min<qsizetype>(1 + (data[at] % 64), stream.size() - at);
        pieces.bytesArrived(stream.sliced(at, n));
        at += n;
    }
    require(pieces.packets.size() >= whole.packets.size());
    for (qsizetype i = 0; i < whole.packets.size(); ++i)
        require(pieces.packets[i] == whole.packets[i]);
    return 0;
}

#include "linuxhost/feeds/KissTcpSource.h"

#include "linuxhost/feeds/Ax25Decoder.h"

KissTcpSource::KissTcpSource(QString host, quint16 port, QObject *parent)
    : TcpFeedSource(QStringLiteral("KISS"), std::move(host), port, parent)
{
}

void KissTcpSource::bytesArrived(QByteArrayView bytes)
{
    mFrames.clear();
    mDeframer.feed(bytes, mFrames);
    for (const KissFrame &frame : std::as_const(mFrames)) {
        const std::optional<QByteArray> line = Ax25Decoder::decodeUiFrame(frame.data);
        if (!line) {
            ++mSkippedFrames;
            continue;
        }
        emit packetReceived(*line, qint16(frame.port + 1), true);
    }
}

void KissTcpSource::linkReset()
{
    mDeframer.reset();
}

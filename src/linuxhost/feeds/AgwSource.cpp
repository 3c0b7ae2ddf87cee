#include "linuxhost/feeds/AgwSource.h"

#include "linuxhost/kiss/Ax25Decoder.h"

#include "host/LogCategories.h"

#include <QtEndian>

namespace {

constexpr int PortAt = 0;
constexpr int KindAt = 4;
constexpr int LengthAt = 28;
constexpr char RawMonitoringOn = 'k';
constexpr char RawFrame = 'K';
constexpr char Version = 'R';

}  // namespace

AgwSource::AgwSource(QString host, quint16 port, QObject *parent)
    : TcpFeedSource(QStringLiteral("AGW"), std::move(host), port, parent)
{ }

QByteArray AgwSource::message(quint8 port, char kind, const QByteArray &data)
{
    QByteArray out(HeaderBytes, '\0');
    out[PortAt] = char(port);
    out[KindAt] = kind;
    qToLittleEndian<quint32>(quint32(data.size()), out.data() + LengthAt);
    return out + data;
}

void AgwSource::linkUp()
{
    // 'k' switches raw frames on; every new connection starts with them off.
    // Dire Wolf reads a new client's requests only after up to a second.
    send(message(0, RawMonitoringOn) + message(0, Version));
}

void AgwSource::bytesArrived(QByteArrayView bytes)
{
    mBuffer.append(bytes);
    qsizetype at = 0;
    while (mBuffer.size() - at >= HeaderBytes) {
        const QByteArrayView header(mBuffer.constData() + at, HeaderBytes);
        const quint32 length = qFromLittleEndian<quint32>(header.data() + LengthAt);
        if (length > MaxMessageBytes) {
            mBuffer.clear();
            dropLink(QStringLiteral("sent a message of %1 bytes, which no AGW server sends").arg(length));
            return;
        }
        if (mBuffer.size() - at - HeaderBytes < qsizetype(length))
            break;
        takeMessage(header, QByteArrayView(mBuffer.constData() + at + HeaderBytes, length));
        at += HeaderBytes + qsizetype(length);
        if (mBuffer.isEmpty())  // the link was reset while delivering
            return;
    }
    mBuffer.remove(0, at);
}

// Dire Wolf's raw frame for a position on channel 0: header with port 0, kind
// 'K', length 1 + frame; data 00, then the AX.25 addresses, 03 F0 and "!4903.50N...".
void AgwSource::takeMessage(QByteArrayView header, QByteArrayView data)
{
    if (header[KindAt] == Version) {
        mMonitoring = true;
        return;
    }
    if (header[KindAt] != RawFrame || data.isEmpty()) {
        ++mSkipped;
        return;
    }
    bool overlong = false;
    const std::optional<QByteArray> line = Ax25Decoder::decodeUiFrame(data.sliced(1), &overlong);
    if (!line) {
        ++(overlong ? mOverlongFrames : mSkipped);
        return;
    }
    const int port = static_cast<unsigned char>(header[PortAt]);
    deliver(*line, qint16(port + 1));
}

void AgwSource::stop()
{
    const bool wasRunning = isRunning();
    TcpFeedSource::stop();
    if (wasRunning)
        qCInfo(lcFeed).noquote() << describe()
                + QStringLiteral(" stopped: %1 messages skipped, %2 frames too long dropped")
                      .arg(mSkipped)
                      .arg(mOverlongFrames);
}

void AgwSource::linkReset()
{
    mBuffer.clear();
    mMonitoring = false;
}

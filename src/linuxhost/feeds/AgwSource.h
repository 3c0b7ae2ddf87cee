#pragma once

#include "linuxhost/feeds/TcpFeedSource.h"

// Packets heard on the radio, from a program that serves the AGW packet engine
// protocol (Dire Wolf's AGWPORT, sound-card modems). On each connection it asks
// for raw monitoring ('k') and then for the engine's version ('R'): the answer
// to the second shows the first has been read. From then on every frame heard
// arrives as a 'K' message: a 36-byte header (AGW port in byte 0, kind in byte 4, data length
// little-endian in bytes 28 to 31), then one KISS-style byte and the AX.25
// frame without its FCS. Each UI frame with PID F0 becomes one text line on
// radio port AGW port + 1; other messages are skipped.
class AgwSource : public TcpFeedSource
{
    Q_OBJECT
public:
    // Dire Wolf's AGWPORT unless its configuration says otherwise.
    static constexpr quint16 DefaultPort = 8000;
    static constexpr qsizetype HeaderBytes = 36;
    // No AGW message comes near this (a frame list or a port list is a few
    // hundred bytes); a peer that announces more is no AGW server.
    static constexpr quint32 MaxMessageBytes = 64 * 1024;

    AgwSource(QString host, quint16 port, QObject *parent = nullptr);

    // An AGW message: the header with this port, kind and data length, then the data.
    static QByteArray message(quint8 port, char kind, const QByteArray &data = {});

    // Tells in its closing line what it passed over.
    void stop() override;

    qint64 overlongDropped() const override { return mOverlongFrames; }
    // The engine has read the request for raw frames on this connection.
    bool isMonitoring() const { return mMonitoring; }

protected:
    void linkUp() override;
    void bytesArrived(QByteArrayView bytes) override;
    void linkReset() override;

private:
    void takeMessage(QByteArrayView header, QByteArrayView data);

    QByteArray mBuffer;
    bool mMonitoring = false;
    qint64 mOverlongFrames = 0;
    // Messages other than frames, and frames that were not APRS or not valid AX.25.
    qint64 mSkipped = 0;
};

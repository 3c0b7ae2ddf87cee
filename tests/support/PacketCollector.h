#pragma once

#include "linuxhost/feeds/PacketSource.h"

#include <QList>

// Keeps what a packet source hands over, in order.
class PacketCollector : public QObject
{
    Q_OBJECT
public:
    struct Packet {
        QByteArray line;
        qint16 radioPort;
    };

    explicit PacketCollector(PacketSource &source)
    {
        connect(&source, &PacketSource::packetReceived, this, [this](const QByteArray &line, qint16 port) {
            mPackets.append({line, port});
        });
    }

    const QList<Packet> &packets() const { return mPackets; }
    QList<QByteArray> lines() const
    {
        QList<QByteArray> out;
        for (const Packet &p : mPackets)
            out << p.line;
        return out;
    }
    bool contains(const QByteArray &line) const { return lines().contains(line); }
    void clear() { mPackets.clear(); }

private:
    QList<Packet> mPackets;
};

#pragma once

#include "linuxhost/feeds/TcpFeedSource.h"
#include "linuxhost/kiss/KissReader.h"

// Packets heard on the radio, from a TNC that serves KISS over TCP (Dire Wolf's
// KISSPORT). Each AX.25 UI frame becomes one text line on radio port
// KISS port + 1.
class KissTcpSource : public TcpFeedSource
{
    Q_OBJECT
public:
    // Dire Wolf's KISSPORT unless its configuration says otherwise.
    static constexpr quint16 DefaultPort = 8001;

    KissTcpSource(QString host, quint16 port, QObject *parent = nullptr);

    qint64 overlongDropped() const override { return mReader.overlongFrames(); }
    const KissReader &reader() const { return mReader; }

protected:
    void bytesArrived(QByteArrayView bytes) override;
    void linkReset() override;

private:
    KissReader mReader;
};

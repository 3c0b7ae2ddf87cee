#pragma once

#include "linuxhost/feeds/KissDeframer.h"
#include "linuxhost/feeds/TcpFeedSource.h"

// Packets heard on the radio, from a TNC that serves KISS over TCP (Dire Wolf's
// KISSPORT, 8001 by default). Each AX.25 UI frame becomes one text line on
// radio port KISS port + 1.
class KissTcpSource : public TcpFeedSource
{
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 8001;

    KissTcpSource(QString host, quint16 port, QObject *parent = nullptr);

    // Frames that were not APRS (not UI with PID F0) or not valid AX.25.
    qint64 skippedFrames() const { return mSkippedFrames; }
    const KissDeframer &deframer() const { return mDeframer; }

protected:
    void bytesArrived(QByteArrayView bytes) override;
    void linkReset() override;

private:
    KissDeframer mDeframer;
    QList<KissFrame> mFrames;
    qint64 mSkippedFrames = 0;
};

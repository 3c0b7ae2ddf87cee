#pragma once

#include "linuxhost/feeds/LineSplitter.h"
#include "linuxhost/feeds/TcpFeedSource.h"

// Packets from an APRS-IS server: one login line, then one packet per text
// line. Server comments ("# aprsc 2.1.14 ...", also the keep-alive sent every
// 20 s or so) are skipped; a server that sends nothing for 120 s is gone.
class AprsIsSource : public TcpFeedSource
{
    Q_OBJECT
public:
    static constexpr int IdleTimeoutSeconds = 120;
    // The longest line APRS-IS carries, without its line end; servers drop
    // longer ones, and so does this source.
    static constexpr qsizetype MaxLineBytes = 512;

    AprsIsSource(
        QString host, quint16 port, QString callsign, QString passcode, QString filter, QObject *parent = nullptr);

    // "user N0CALL pass -1 vers Keldan 1.1.1 filter r/51/0/50" with CR LF;
    // no " filter ..." when the filter is empty.
    static QByteArray loginLine(const QString &callsign, const QString &passcode, const QString &filter);

    qint64 overlongDropped() const override { return mSplitter.overlongLines(); }

protected:
    void linkUp() override;
    void bytesArrived(QByteArrayView bytes) override;
    void linkReset() override;

private:
    QString mCallsign;
    QString mPasscode;
    QString mFilter;
    LineSplitter mSplitter {MaxLineBytes};
    QList<QByteArray> mLines;
};

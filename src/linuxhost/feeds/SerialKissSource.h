#pragma once

#include "host/BackOff.h"
#include "linuxhost/feeds/PacketSource.h"
#include "linuxhost/kiss/KissReader.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

// Packets heard on the radio from a TNC on a serial line: a hardware TNC in
// KISS mode on a USB or RS-232 port, or Dire Wolf's KISS pseudo-terminal
// (/tmp/kisstnc). Same KISS and AX.25 reading as over TCP; radio port =
// KISS port + 1. The line runs 8N1 without flow control.
//
// USB TNCs come and go: a device that is missing, busy or unplugged is reported
// once and reopened with the network feeds' back-off until it is back.
class SerialKissSource : public PacketSource
{
    Q_OBJECT
public:
    // The rate most hardware TNCs ship with; a pseudo-terminal ignores it.
    static constexpr qint32 DefaultBaudRate = 9600;

    SerialKissSource(QString device, qint32 baudRate, QObject *parent = nullptr);
    ~SerialKissSource() override;

    void start() override;
    void stop() override;
    QString describe() const override;
    qint64 overlongDropped() const override { return mReader.overlongFrames(); }

    // How many milliseconds stand for one second of back-off; 1000 in the
    // program, tests shrink it.
    void setMillisecondsPerSecond(int milliseconds) { mBackoff.setTimeScale(milliseconds); }

    bool isOpen() const { return mPort.isOpen(); }
    // The wait before the last reopening attempt, in back-off seconds.
    int lastRetryDelaySeconds() const { return mLastRetryDelaySeconds; }
    const KissReader &reader() const { return mReader; }

signals:
    void opened();

private:
    void openNow();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    // Closes the device and tries again after the back-off; what is reported
    // only when the device was open (or never tried) before.
    void retryLater(const QString &what);
    int toMs(int seconds) const { return mBackoff.toTimerMs(seconds); }

    QString mDevice;
    qint32 mBaudRate;
    QSerialPort mPort;
    QTimer mRetryTimer;
    QElapsedTimer mOpenSince;
    // 1 s, 2 s, 4 s ... at most 60 s, back to 1 s after a good connection:
    // one that delivered a whole packet, or stood for GoodLinkSeconds.
    BackOff mBackoff {1, 60};
    KissReader mReader;
    bool mTroubleReported = false;  // until the device opens again
    int mLastRetryDelaySeconds = 0;
    bool mRunning = false;
};

#pragma once

#include "host/BackOff.h"
#include "linuxhost/feeds/PacketSource.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

// A packet source on a TCP connection that looks after itself: it reconnects
// after a refused or lost connection with a growing back-off, treats a link
// that stays silent too long as dead, and reads everything that arrives while
// connected. Subclasses turn the bytes into packets.
class TcpFeedSource : public PacketSource
{
    Q_OBJECT
public:
    // An attempt that neither connects nor fails within this time is given up.
    static constexpr int ConnectTimeoutSeconds = 30;

    TcpFeedSource(QString label, QString host, quint16 port, QObject *parent = nullptr);
    ~TcpFeedSource() override;

    void start() override;
    void stop() override;
    QString describe() const override;

    // How many milliseconds stand for one second of back-off, connect and
    // dead-link time. 1000 in the program; tests shrink it.
    void setMillisecondsPerSecond(int milliseconds) { mBackoff.setTimeScale(milliseconds); }
    // 0 turns the dead-link check off.
    void setIdleTimeoutSeconds(int seconds) { mIdleTimeoutSeconds = seconds; }

    bool isLinkUp() const;
    // Started and not stopped since.
    bool isRunning() const { return mRunning; }
    // The wait announced by the last retry, in back-off seconds; 0 before any.
    int lastRetryDelaySeconds() const { return mLastRetryDelaySeconds; }

signals:
    void linkEstablished();

protected:
    // Called once a connection stands (APRS-IS sends its login here).
    virtual void linkUp() { }
    virtual void bytesArrived(QByteArrayView bytes) = 0;
    // Forget any partial frame or line of the previous connection.
    virtual void linkReset() { }

    void send(const QByteArray &bytes);
    // Hands over one whole packet; a link that delivers one is a good link.
    void deliver(const QByteArray &line, qint16 radioPort);
    // Ends the link for a reason of the source's own (a peer that breaks the
    // protocol) and tries again after the back-off.
    void dropLink(const QString &reason);

private:
    void connectNow();
    void onConnected();
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onConnectTimeout();
    void onIdleTimeout();
    void scheduleRetry(const QString &what);
    int toMs(int seconds) const { return mBackoff.toTimerMs(seconds); }

    QString mLabel;
    QString mHost;
    quint16 mPort;
    QTcpSocket *mSocket;
    QTimer mRetryTimer;
    QTimer mConnectTimer;
    QTimer mIdleTimer;
    QElapsedTimer mUpSince;
    // 1 s, 2 s, 4 s ... at most 60 s, back to 1 s after a good connection:
    // one that delivered a whole packet, or stood for GoodLinkSeconds.
    BackOff mBackoff {1, 60};
    int mIdleTimeoutSeconds = 0;
    int mLastRetryDelaySeconds = 0;
    bool mRunning = false;
    bool mWasUp = false;
    bool mRetryPending = false;
    QString mPendingReason;  // set when the source itself ends the link
};

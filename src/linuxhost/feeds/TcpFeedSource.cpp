#include "linuxhost/feeds/TcpFeedSource.h"

#include "host/LogCategories.h"

TcpFeedSource::TcpFeedSource(QString label, QString host, quint16 port, QObject *parent)
    : PacketSource(parent), mLabel(std::move(label)), mHost(std::move(host)), mPort(port), mSocket(new QTcpSocket(this))
{
    mRetryTimer.setSingleShot(true);
    mConnectTimer.setSingleShot(true);
    mIdleTimer.setSingleShot(true);
    connect(&mRetryTimer, &QTimer::timeout, this, &TcpFeedSource::connectNow);
    connect(&mConnectTimer, &QTimer::timeout, this, &TcpFeedSource::onConnectTimeout);
    connect(&mIdleTimer, &QTimer::timeout, this, &TcpFeedSource::onIdleTimeout);
    connect(mSocket, &QTcpSocket::connected, this, &TcpFeedSource::onConnected);
    connect(mSocket, &QTcpSocket::readyRead, this, &TcpFeedSource::onReadyRead);
    connect(mSocket, &QTcpSocket::errorOccurred, this, &TcpFeedSource::onSocketError);
    connect(mSocket, &QTcpSocket::disconnected, this, &TcpFeedSource::onDisconnected);
}

TcpFeedSource::~TcpFeedSource()
{
    // No log lines or retries from the socket's last signals.
    mRunning = false;
    mSocket->disconnect(this);
}

QString TcpFeedSource::describe() const
{
    const QString host = mHost.contains(QLatin1Char(':')) ? QLatin1Char('[') + mHost + QLatin1Char(']') : mHost;
    return QStringLiteral("%1 %2:%3").arg(mLabel, host).arg(mPort);
}

void TcpFeedSource::start()
{
    if (mRunning)
        return;
    mRunning = true;
    mBackoff.reset();
    connectNow();
}

void TcpFeedSource::stop()
{
    mRunning = false;
    mRetryTimer.stop();
    mConnectTimer.stop();
    mIdleTimer.stop();
    mSocket->abort();
    linkReset();
}

bool TcpFeedSource::isLinkUp() const
{
    return mSocket->state() == QAbstractSocket::ConnectedState;
}

void TcpFeedSource::send(const QByteArray &bytes)
{
    mSocket->write(bytes);
}

void TcpFeedSource::deliver(const QByteArray &line, qint16 radioPort)
{
    mBackoff.reset();
    emit packetReceived(line, radioPort);
}

void TcpFeedSource::dropLink(const QString &reason)
{
    if (!mRunning || !isLinkUp())
        return;
    mPendingReason = reason;
    mSocket->abort();
    // abort() may or may not report the disconnection, depending on the state.
    if (!mRetryPending)
        onDisconnected();
}

void TcpFeedSource::connectNow()
{
    if (!mRunning)
        return;
    mRetryPending = false;
    mWasUp = false;
    mPendingReason.clear();
    linkReset();
    mConnectTimer.start(toMs(ConnectTimeoutSeconds));
    mSocket->connectToHost(mHost, mPort);
}

void TcpFeedSource::onConnected()
{
    mConnectTimer.stop();
    mWasUp = true;
    mUpSince.start();
    mSocket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    qCInfo(lcFeed).noquote() << describe() + QStringLiteral(" connected");
    if (mIdleTimeoutSeconds > 0)
        mIdleTimer.start(toMs(mIdleTimeoutSeconds));
    linkUp();
    emit linkEstablished();
}

void TcpFeedSource::onReadyRead()
{
    // Everything that has arrived is read at once: a slow reader would make
    // the TNC or server drop packets.
    while (mSocket->bytesAvailable() > 0) {
        const QByteArray bytes = mSocket->readAll();
        if (bytes.isEmpty())
            break;
        if (mIdleTimeoutSeconds > 0)
            mIdleTimer.start(toMs(mIdleTimeoutSeconds));
        bytesArrived(bytes);
        if (!mRunning)
            return;
    }
}

void TcpFeedSource::onSocketError(QAbstractSocket::SocketError error)
{
    if (!mRunning || mRetryPending)
        return;
    if (mWasUp) {
        // onDisconnected follows for a connection that stood.
        if (mSocket->state() != QAbstractSocket::UnconnectedState)
            return;
        onDisconnected();
        return;
    }
    mConnectTimer.stop();
    if (error == QAbstractSocket::ConnectionRefusedError)
        scheduleRetry(QStringLiteral("refused"));
    else
        scheduleRetry(QStringLiteral("failed (%1)").arg(mSocket->errorString()));
    mSocket->abort();
}

void TcpFeedSource::onDisconnected()
{
    if (!mRunning || mRetryPending)
        return;
    mIdleTimer.stop();
    if (mWasUp && mUpSince.elapsed() >= toMs(PacketSource::GoodLinkSeconds))
        mBackoff.reset();
    QString what = mPendingReason;
    if (what.isEmpty())
        what = QStringLiteral("lost (%1)").arg(mSocket->errorString());
    mWasUp = false;
    scheduleRetry(what);
}

void TcpFeedSource::onConnectTimeout()
{
    if (!mRunning || mRetryPending)
        return;
    scheduleRetry(QStringLiteral("gave no answer in %1 s").arg(ConnectTimeoutSeconds));
    mSocket->abort();
}

void TcpFeedSource::onIdleTimeout()
{
    dropLink(QStringLiteral("no data for %1 s").arg(mIdleTimeoutSeconds));
}

void TcpFeedSource::scheduleRetry(const QString &what)
{
    mRetryPending = true;
    mConnectTimer.stop();
    mIdleTimer.stop();
    const int delaySeconds = mBackoff.takeDelaySeconds();
    mLastRetryDelaySeconds = delaySeconds;
    qCWarning(lcFeed).noquote() << describe() + QLatin1Char(' ') + what
            + QStringLiteral(", retrying in %1 s").arg(delaySeconds);
    mRetryTimer.start(toMs(delaySeconds));
}

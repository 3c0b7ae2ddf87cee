#pragma once

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A TCP server on 127.0.0.1 standing in for a TNC or an APRS-IS server: it
// keeps every connection it accepts and what each one sent.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackServer(QObject *parent = nullptr) : QObject(parent)
    {
        connect(&mServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = mServer.nextPendingConnection()) {
                const int index = int(mConnections.size());
                mConnections.append(socket);
                mReceived.append(QByteArray());
                connect(socket, &QTcpSocket::readyRead, this,
                    [this, socket, index] { mReceived[index] += socket->readAll(); });
            }
        });
    }

    bool listen(quint16 port = 0) { return mServer.listen(QHostAddress::LocalHost, port); }
    void close() { mServer.close(); }
    quint16 port() const { return mServer.serverPort(); }

    // A port that nothing listens on (until someone listens on it again).
    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    int connectionCount() const { return int(mConnections.size()); }
    QTcpSocket *connection(int index) const { return mConnections.value(index); }
    QTcpSocket *last() const { return mConnections.isEmpty() ? nullptr : mConnections.last().data(); }
    QByteArray received(int index) const { return mReceived.value(index); }

    void send(const QByteArray &bytes)
    {
        last()->write(bytes);
        last()->flush();
    }
    // Resets the newest connection (RST): unread data may be lost.
    void dropLast() { last()->abort(); }
    // Closes the newest connection in order (FIN): what was sent arrives first.
    void closeLast() { last()->disconnectFromHost(); }

private:
    QTcpServer mServer;
    QList<QPointer<QTcpSocket>> mConnections;
    QList<QByteArray> mReceived;
};

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Where the host's packets come from. Every source hands over each packet as
// the bytes of one TNC2 text line (SRC>DEST,PATH:info, no line end) with the
// radio port it was heard on: the TNC's port + 1, or 0 for APRS-IS and logs.
// Sources run on the thread that owns them, driven by its event loop.
class PacketSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~PacketSource() override = default;

    // A connection that stood this long was a good one: the next loss waits
    // the shortest delay again. A server that greets and hangs up is no good one.
    static constexpr int GoodLinkSeconds = 60;

    virtual void start() = 0;
    virtual void stop() = 0;
    // How the source names itself in the log, e.g. "KISS 127.0.0.1:8001".
    virtual QString describe() const = 0;
    // Lines or frames longer than their protocol allows, dropped unread.
    virtual qint64 overlongDropped() const { return 0; }

signals:
    void packetReceived(const QByteArray &line, qint16 radioPort);
    // The source has nothing more to give (a log at its end).
    void finished();
};

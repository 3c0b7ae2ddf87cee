#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QHttpServer>
#include <QString>

class LiveMap;
class LiveStatus;

// The live page over HTTP, read-only: every route answers GET and changes
// nothing, and nothing it sends holds a password or a connect string (the
// status and the map carry neither).
//   /            the page: the report's page with the live script
//   /api/status  LiveStatus as JSON
//   /api/map     the map's changes after ?after=VERSION (LiveMap)
// Everything else is 404. It runs on the window's thread and reads only
// memory, so a request never waits for the database.
class LiveServer
{
public:
    LiveServer(LiveStatus &status, LiveMap &map, const QString &timeBase);

    // False when the address cannot be listened on; errorString says why.
    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return mPort; }
    QString errorString() const { return mError; }

    const QByteArray &page() const { return mPage; }

private:
    static QByteArray livePage(const QString &timeBase);

    LiveStatus &mStatus;
    LiveMap &mMap;
    QByteArray mPage;
    QHttpServer mServer;
    quint16 mPort = 0;
    QString mError;
};

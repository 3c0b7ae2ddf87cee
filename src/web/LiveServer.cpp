#include "web/LiveServer.h"

#include "report/ReportData.h"
#include "report/ReportPage.h"
#include "web/LiveMap.h"
#include "web/LiveStatus.h"

#include <QFile>
#include <QHttpServerResponse>
#include <QTcpServer>
#include <QUrlQuery>

#include <stdexcept>

namespace {

QHttpServerResponse answer(const QByteArray &mimeType, const QByteArray &body)
{
    QHttpServerResponse response(mimeType, body);
    // Always the state of now, never a copy from a cache.
    response.setHeader("Cache-Control", "no-store");
    response.setHeader("X-Content-Type-Options", "nosniff");
    return response;
}

}  // namespace

LiveServer::LiveServer(LiveStatus &status, LiveMap &map, const QString &timeBase)
    : mStatus(status), mMap(map), mPage(livePage(timeBase))
{
    mServer.route(QStringLiteral("/"), QHttpServerRequest::Method::Get,
        [this] { return answer("text/html; charset=utf-8", mPage); });
    mServer.route(QStringLiteral("/api/status"), QHttpServerRequest::Method::Get,
        [this] { return answer("application/json", mStatus.toJson()); });
    mServer.route(
        QStringLiteral("/api/map"), QHttpServerRequest::Method::Get, [this](const QHttpServerRequest &request) {
            const qint64 after = QUrlQuery(request.url()).queryItemValue(QStringLiteral("after")).toLongLong();
            return answer("application/json", mMap.changesJson(after));
        });
}

QByteArray LiveServer::livePage(const QString &timeBase)
{
    ReportPage report;
    report.title = QStringLiteral("Keldan Bridge, live");
    report.timeBase = timeBase;
    QByteArray page = report.render(ReportData());
    QFile script(QStringLiteral(":/web/live.js"));
    if (!script.open(QIODevice::ReadOnly))
        throw std::runtime_error("live page resource missing: live.js");
    // After the report's script, which draws what live.js hands it.
    const qsizetype end = page.lastIndexOf("</body>");
    if (end < 0)
        throw std::runtime_error("the report page has no </body>");
    page.insert(end, "<script>" + script.readAll() + "</script>\n");
    return page;
}

bool LiveServer::listen(const QHostAddress &address, quint16 port)
{
    mPort = mServer.listen(address, port);
    if (mPort == 0) {
        const QList<QTcpServer *> servers = mServer.servers();
        mError = servers.isEmpty() ? QStringLiteral("cannot listen on %1:%2").arg(address.toString()).arg(port)
                                   : servers.last()->errorString();
        return false;
    }
    return true;
}

#include "web/LiveStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

void LiveStatus::setLatest(int field, const QString &text)
{
    if (field >= 1 && field <= 4)
        mLatest[field - 1] = text;
}

QByteArray LiveStatus::toJson() const
{
    const LiveCounts counts = mCounts ? mCounts() : LiveCounts();
    // The link is down while it is closed and while a lost one is reopened.
    const QString link = !mLinkConnected ? QStringLiteral("down")
        : counts.kept > 0                ? QStringLiteral("reopening")
                                         : QStringLiteral("up");
    QJsonObject status;
    status[QStringLiteral("link")] = link;
    status[QStringLiteral("status")] = mStatus;
    status[QStringLiteral("buffer")] = mBuffer;
    status[QStringLiteral("queue")] =
        QJsonObject {{QStringLiteral("waiting"), counts.waiting}, {QStringLiteral("capacity"), QueueCapacity}};
    status[QStringLiteral("latest")] =
        QJsonObject {{QStringLiteral("callsign"), mLatest[0]}, {QStringLiteral("latitude"), mLatest[1]},
            {QStringLiteral("longitude"), mLatest[2]}, {QStringLiteral("date"), mLatest[3]}};
    status[QStringLiteral("counts")] =
        QJsonObject {{QStringLiteral("received"), counts.received}, {QStringLiteral("beacons"), counts.beacons},
            {QStringLiteral("stored"), counts.stored}, {QStringLiteral("failed"), counts.failed},
            {QStringLiteral("refused"), counts.refused}, {QStringLiteral("kept"), counts.kept}};
    QJsonArray feeds;
    if (mFeeds) {
        for (const LiveFeed &feed : mFeeds())
            feeds.append(QJsonObject {{QStringLiteral("key"), feed.key}, {QStringLiteral("source"), feed.source},
                {QStringLiteral("state"), feed.state}, {QStringLiteral("packets"), feed.packets}});
    }
    status[QStringLiteral("feeds")] = feeds;
    status[QStringLiteral("recovery")] = mRecovery;
    return QJsonDocument(status).toJson(QJsonDocument::Compact);
}

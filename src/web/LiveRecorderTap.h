#pragma once

#include "db/StatementExecutor.h"
#include "host/BeaconRecord.h"
#include "web/LiveBeacon.h"

#include <QHash>
#include <QList>

class LiveMap;

// Between the recorder and the link healer: tells the live map of every
// beacon whose stations row is stored. The window says which beacon the
// recorder takes (beaconTaken); its stations statement is remembered with the
// beacon's values, and the healer's stored notice (statementStored) hands
// them to the map, at once or once a kept statement went in on a reopened
// link. Without a map it only passes statements on.
class LiveRecorderTap : public StatementExecutor
{
public:
    // Stations statements waiting for their stored notice: those kept while
    // the link is reopened (the queue holds 1000 beacons) and those that
    // failed for good, which are forgotten oldest first.
    static constexpr int MaxPending = 2000;

    explicit LiveRecorderTap(StatementExecutor &inner);

    void setMap(LiveMap *map) { mMap = map; }
    void beaconTaken(BeaconRecordRef beacon) { mCurrent = std::move(beacon); }
    void beaconDone() { mCurrent.reset(); }

    void execute(const QString &statement) override;
    SqlDialect dialect() const override { return mInner.dialect(); }

    void statementStored(const QString &statement);
    qsizetype pendingCount() const { return mPending.size(); }

    // The values the beacon's rows hold, read as the recorder reads them.
    static LiveBeacon capture(const BeaconRecord &beacon);

private:
    StatementExecutor &mInner;
    LiveMap *mMap = nullptr;
    BeaconRecordRef mCurrent;
    QHash<QString, LiveBeacon> mPending;
    QList<QString> mPendingOrder;
};

#include "web/LiveRecorderTap.h"

#include "recording/FieldText.h"
#include "recording/StationStatements.h"
#include "recording/ValueText.h"
#include "report/DtstampText.h"
#include "web/LiveMap.h"

LiveRecorderTap::LiveRecorderTap(StatementExecutor &inner) : mInner(inner)
{ }

LiveBeacon LiveRecorderTap::capture(const BeaconRecord &beacon)
{
    LiveBeacon live;
    live.callsign = beacon.callsign();
    live.kind = beacon.stationType();
    // The later of the two times, as the recorder stamps the rows.
    const QDateTime timeB = beacon.timeB();
    const QDateTime timeA = beacon.timeA();
    live.seconds = dtstampSeconds(timeB < timeA ? timeA : timeB);
    live.latitudeDeg = double(beacon.latitude()) / 60.0;
    live.longitudeDeg = double(beacon.longitude()) / 60.0;
    live.symbol = beacon.symbolTable() + beacon.symbolCode();
    live.objectOwner = ownerText(beacon.objectOwner());
    live.heardDirect = isTrue(beacon.heardDirect()) == 1;
    live.radioPort = beacon.radioPort();
    live.distanceKm = beacon.distance();
    live.status = beacon.statusText();
    live.comment = commentText(beacon.packetText(), beacon.commentStart());
    live.path = extractPath(beacon.packetHeader());
    live.speedKmh = beacon.speed();
    live.courseDeg = beacon.course();
    live.heightMetres = beacon.height();
    return live;
}

void LiveRecorderTap::execute(const QString &statement)
{
    // Read after the recorder read the beacon for this statement, so that the
    // host sees its usual order of reads.
    if (mMap && mCurrent && StationStatements::insertsStation(statement) && !mPending.contains(statement)) {
        try {
            mPending.insert(statement, capture(*mCurrent));
            mPendingOrder << statement;
            while (mPendingOrder.size() > MaxPending)
                mPending.remove(mPendingOrder.takeFirst());
        } catch (...) {
            // A beacon the host cannot read is left off the map; the recorder
            // reports it.
        }
    }
    mInner.execute(statement);
}

void LiveRecorderTap::statementStored(const QString &statement)
{
    const auto it = mPending.constFind(statement);
    if (it == mPending.constEnd())
        return;
    const LiveBeacon beacon = *it;
    mPending.erase(it);
    mPendingOrder.removeOne(statement);
    if (mMap)
        mMap->add(beacon);
}

#include "host/BeaconQueue.h"

QString BeaconQueue::bufferCaption(qint16 count)
{
    return QStringLiteral("Buffering [") + QString::number(count) + QLatin1Char(']');
}

void BeaconQueue::queueBeacon(BeaconRecordRef cStn)
{
    if (queueLength == Capacity) {
        ++mRefused;
        mView.setStatusCaption(QStringLiteral("Buffer full, packet ignored"));
        return;
    }
    // Every member is updated before any outgoing call, so a notification
    // delivered while a caption repaints finds the ring consistent.
    beaconQueue[queueTail] = std::move(cStn);
    queueTail = queueTail + 1 > Capacity ? 0 : queueTail + 1;
    ++queueLength;
    mView.setBufferCaption(bufferCaption(queueCount()));
}

BeaconRecordRef BeaconQueue::dequeueBeacon()
{
    BeaconRecordRef oldest = std::move(beaconQueue[queueHead]);
    beaconQueue[queueHead].reset();
    queueHead = queueHead + 1 > Capacity ? 0 : queueHead + 1;
    --queueLength;
    return oldest;
}

void BeaconQueue::TimerBeaconData_Timer()
{
    if (busy)
        return;
    busy = true;
    if (queueCount() != 0) {
        {
            BeaconRecordRef beacon = dequeueBeacon();
            mView.processBeacon(beacon);
        }  // the tick's reference is dropped here
        mView.setBufferCaption(bufferCaption(queueCount()));
        mView.dispatchPendingMessages();
    }
    busy = false;
}

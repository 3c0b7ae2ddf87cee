#include "recording/BeaconStore.h"

#include "recording/ValueText.h"

BeaconStore::BeaconStore(OdbcConnection &connection, RecorderView &view, HostApplication *host, int beaconsPerBatch)
    : mExecutor(connection, beaconsPerBatch), mRecorder(view, mExecutor)
{
    mRecorder.attachHost(host);
}

void BeaconStore::begin()
{
    mExecutor.begin();
}

BeaconKey BeaconStore::keyOf(const BeaconRecord &beacon) noexcept
{
    try {
        BeaconKey key;
        key.callsign = beacon.callsign();
        // The recorder's choice: the later of the two times, timeB when equal.
        const QDateTime timeB = beacon.timeB();
        const QDateTime timeA = beacon.timeA();
        key.dtstamp = timestampText(timeB < timeA ? timeA : timeB);
        // The value the written text gives, not the record's float.
        key.latitude = singleText(beacon.latitude()).toDouble();
        key.longitude = singleText(beacon.longitude()).toDouble();
        return key;
    } catch (...) {
        // The recorder meets the same failure and reports it.
        return BeaconKey();
    }
}

void BeaconStore::store(const BeaconRecordRef &beacon)
{
    mExecutor.startBeacon(beacon ? keyOf(*beacon) : BeaconKey());
    mRecorder.processBeacon(beacon);
    mExecutor.endBeacon();
}

void BeaconStore::flush()
{
    mExecutor.commit();
}

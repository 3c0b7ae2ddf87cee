#pragma once

#include "host/BeaconRecord.h"
#include "recording/BatchExecutor.h"
#include "recording/BeaconRecorder.h"

class HostApplication;
class OdbcConnection;
class RecorderView;

// Stores beacon records exactly once, in batches, on a connection of its
// own: each record goes the recorder's road (the switches of view, the
// weather of host, the statements the bridge sends), and the batch's
// statements are written by a BatchExecutor, which leaves out a beacon whose
// callsign, time and position are stored already. Whatever hands over
// records (a log import, a journal replayed) counts on its numbers.
class BeaconStore
{
public:
    BeaconStore(OdbcConnection &connection, RecorderView &view, HostApplication *host, int beaconsPerBatch);

    // Leaves autocommit; throws OdbcError when the driver cannot.
    void begin();
    // Builds the record's statements now (the host's weather is read now)
    // and writes the batch when it is full. Throws nothing.
    void store(const BeaconRecordRef &beacon);
    // Writes what is held. Throws nothing: a failure makes failed() true.
    void flush();

    BeaconRecorder &recorder() { return mRecorder; }
    const BatchExecutor &executor() const { return mExecutor; }
    BatchExecutor &executor() { return mExecutor; }
    bool failed() const { return mExecutor.failed(); }

    // The key the stations row of the record would be written with; an
    // invalid key when the record cannot tell.
    static BeaconKey keyOf(const BeaconRecord &beacon) noexcept;

private:
    BatchExecutor mExecutor;
    BeaconRecorder mRecorder;
};

#pragma once

#include "road/StationSettings.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>

class OdbcConnection;

// Stores the journal's beacons heard after a mark, each once, along the same
// road as live beacons (duplicate filter, decoder, recorder) with the time
// they were heard as their time. A beacon already in the database is left
// out. The 30 s before the mark are read too, but only to warm up the
// duplicate filter as the live road had it.
class JournalRecovery
{
public:
    struct Result {
        qint64 lines = 0;          // journal lines after the mark
        qint64 beacons = 0;        // of them, beacons the road passed on
        qint64 recovered = 0;      // stored now
        qint64 alreadyStored = 0;  // found in the database
        qint64 refused = 0;        // a statement the database will never take
        bool complete = false;     // every line up to upToUtc handled
        QDateTime reachedUtc;      // every beacon heard up to here is stored or given up
        QString problem;           // why it stopped early
    };

    // checks: the window's check boxes (Check1 at index 1) when it began.
    JournalRecovery(StationSettings station, QList<int> checks, OdbcConnection &connection);

    // Lines heard in (afterUtc, upToUtc] of the journal in folder.
    Result run(const QString &folder, const QDateTime &afterUtc, const QDateTime &upToUtc,
        const std::atomic_bool *stop = nullptr);

private:
    StationSettings mStation;
    QList<int> mChecks;
    OdbcConnection &mConnection;
};

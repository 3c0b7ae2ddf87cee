#pragma once

#include "import/ImportSummary.h"
#include "import/ImportView.h"
#include "road/StationSettings.h"

#include <QStringList>

#include <atomic>

class ImportProgress;
class OdbcConnection;

// Stores the beacons of logs through the bridge's own beacon road: the road
// decodes each line, applies its duplicate rule and fills the beacon record, and the recorder builds and sends the same
// statements the bridge sends, here in transactions of many beacons. A beacon's time is the time stamp of its line.
class LogImporter
{
public:
    static constexpr int DefaultBeaconsPerTransaction = 5000;

    struct Options {
        ImportView::Switches switches;
        Qt::TimeSpec stampSpec = Qt::LocalTime;  // for stamps without a zone
        int beaconsPerTransaction = DefaultBeaconsPerTransaction;
        // When set: every bad, too long and rejected line, with its reason.
        QString rejectsPath;
    };

    LogImporter(StationSettings stationSettings, OdbcConnection &connection, Options options);

    // Imports the files in the order given, each read once as a stream ("-"
    // is standard input). stop holds the number of a signal that asks to stop
    // (0: none): the import stops after the current line (or a read the
    // signal interrupts), commits what was written and reports the signal.
    // Never throws: files that cannot be read and a lost database end up in
    // the summary's problems.
    ImportSummary run(
        const QStringList &files, ImportProgress *progress = nullptr, const std::atomic_int *stop = nullptr);

    // Regular files by the time of their first stamped line (read twice:
    // once for the stamp, once to import), files without one by their
    // modification time. Pipes, standard input and the like are never read
    // for this: they follow the regular files in the order given, as do
    // unreadable files.
    static QStringList inTimeOrder(const QStringList &files, Qt::TimeSpec stampSpec);

private:
    StationSettings mStationSettings;
    OdbcConnection &mConnection;
    Options mOptions;
};

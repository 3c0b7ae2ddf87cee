#include "recovery/JournalRecovery.h"

#include "host/WeatherReadings.h"
#include "recording/BeaconStore.h"
#include "recovery/JournalReader.h"
#include "recovery/RecoveryClock.h"
#include "recovery/RecoveryView.h"
#include "road/BeaconRoad.h"
#include "road/RoadHost.h"

#include <limits>

namespace {

// The duplicate window the live road had at the mark.
constexpr qint64 WarmUpMs = 30'000;
// Beacons per transaction: a failure costs at most this many written again.
constexpr qint64 BeaconsPerBatch = 500;

}  // namespace

JournalRecovery::JournalRecovery(StationSettings station, QList<int> checks, OdbcConnection &connection)
    : mStation(std::move(station)), mChecks(std::move(checks)), mConnection(connection)
{ }

JournalRecovery::Result JournalRecovery::run(
    const QString &folder, const QDateTime &afterUtc, const QDateTime &upToUtc, const std::atomic_bool *stop)
{
    Result result;
    auto clock = std::make_shared<RecoveryClock>();
    BeaconRoad road(mStation);
    road.setClock(clock);
    RoadHost host(road);
    RecoveryView view(mChecks);
    // Batched as keldan-import writes: a few round trips per batch instead of
    // two per beacon, and each beacon once.
    BeaconStore beacons(mConnection, view, &host, std::numeric_limits<int>::max());
    beacons.recorder().weatherRecord() = std::make_shared<WeatherReadings>();
    const QDateTime shown = QDateTime::currentDateTime();  // Text4's clock: nobody sees it here
    beacons.recorder().setClock([shown] { return shown; });
    // A live link lost between a stations row and its detail row left the
    // detail row to a kept statement that a stop or a crash may have lost.
    beacons.executor().setCompletesStoredBeacons(true);
    beacons.begin();

    QDateTime committed = afterUtc;  // every beacon up to here is stored or given up
    QDateTime held = afterUtc;       // the last line of the open batch
    qint64 heldBeacons = 0;
    // True when the batch went in; otherwise the problem says why.
    auto commitBatch = [&]() {
        beacons.flush();
        const BatchExecutor &executor = beacons.executor();
        if (executor.failed()) {
            result.problem = executor.fatalError();
            return false;
        }
        result.recovered = executor.storedBeacons();
        result.alreadyStored = executor.alreadyStoredBeacons();
        result.refused = executor.refusedBeacons();
        // A line of the next batch may share the last one's millisecond.
        committed = qMax(committed, held.addMSecs(-1));
        heldBeacons = 0;
        return true;
    };

    const bool readAll =
        JournalReader(folder).forEach(afterUtc.addMSecs(-WarmUpMs), upToUtc, [&](const JournalLine::Entry &entry) {
            clock->setHeardAt(entry.heardAtUtc);
            const QByteArray packet = entry.packet.toByteArray();
            if (entry.heardAtUtc <= afterUtc) {
                road.take(packet, entry.radioPort);  // the duplicate window only
                return true;
            }
            if (stop && *stop) {
                result.problem = QStringLiteral("stopped");
                return false;
            }
            ++result.lines;
            if (const BeaconRecordRef beacon = road.take(packet, entry.radioPort)) {
                ++result.beacons;
                beacons.store(beacon);
                ++heldBeacons;
            }
            held = qMax(held, entry.heardAtUtc);
            return heldBeacons < BeaconsPerBatch || commitBatch();
        });
    // What was read before a stop or an unreadable file is stored still.
    const bool lastBatchIn = !beacons.executor().failed() && commitBatch();
    result.complete = readAll && lastBatchIn && result.problem.isEmpty();
    if (!readAll && result.problem.isEmpty())
        result.problem = QStringLiteral("a journal file could not be read");
    result.reachedUtc = result.complete ? upToUtc : committed;
    return result;
}

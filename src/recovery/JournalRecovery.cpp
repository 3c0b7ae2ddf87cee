#include "recovery/JournalRecovery.h"

#include "host/WeatherReadings.h"
#include "recording/BeaconRecorder.h"
#include "recovery/JournalReader.h"
#include "recovery/OnceExecutor.h"
#include "recovery/RecoveryClock.h"
#include "recovery/RecoveryView.h"
#include "road/BeaconRoad.h"
#include "road/RoadHost.h"

namespace {

// The duplicate window the live road had at the mark.
constexpr qint64 WarmUpMs = 30'000;

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
    OnceExecutor executor(mConnection);
    BeaconRecorder recorder(view, executor);
    recorder.attachHost(&host);
    recorder.weatherRecord() = std::make_shared<WeatherReadings>();
    const QDateTime shown = QDateTime::currentDateTime();  // Text4's clock: nobody sees it here
    recorder.setClock([shown] { return shown; });

    QDateTime reached = afterUtc;
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
            const BeaconRecordRef beacon = road.take(packet, entry.radioPort);
            if (beacon) {
                ++result.beacons;
                executor.beginBeacon();
                recorder.processBeacon(beacon);
                if (executor.failed() && executor.failureKind() != FailureKind::Never) {
                    // Not now: the rest waits for the next recovery, from just before this one.
                    result.problem = executor.failure();
                    reached = entry.heardAtUtc.addMSecs(-1);
                    return false;
                }
                if (executor.alreadyStored())
                    ++result.alreadyStored;
                else if (executor.failed())
                    ++result.refused;
                else if (executor.wrote())
                    ++result.recovered;
            }
            reached = qMax(reached, entry.heardAtUtc);
            return true;
        });
    result.complete = result.problem.isEmpty() && readAll;
    if (!readAll && result.problem.isEmpty())
        result.problem = QStringLiteral("a journal file could not be read");
    result.reachedUtc = result.complete ? upToUtc : reached;
    return result;
}

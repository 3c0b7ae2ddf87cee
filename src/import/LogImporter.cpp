#include "import/LogImporter.h"

#include "host/HostApplication.h"
#include "host/WeatherReadings.h"
#include "import/BeaconStore.h"
#include "import/ImportClock.h"
#include "import/ImportProgress.h"
#include "import/LogLineParser.h"
#include "import/LogReader.h"
#include "road/BeaconRoad.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

// Lines read to find a file's first time stamp.
constexpr int StampSearchLines = 1000;

// The host as the recorder sees it during an import: the weather readings
// come from the road's memory, as the Linux host's do.
class RoadHost : public HostApplication
{
public:
    explicit RoadHost(const BeaconRoad &road) : mRoad(road) { }

    void setAddOnConnected(HostBool connected) override { mConnected = connected; }
    HostBool addOnConnected() const override { return mConnected; }
    HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) override
    {
        return mRoad.lookupWeather(callsign, record);
    }

private:
    const BeaconRoad &mRoad;
    HostBool mConnected = HostFalse;
};

}  // namespace

LogImporter::LogImporter(StationSettings stationSettings, OdbcConnection &connection, Options options)
    : mStationSettings(std::move(stationSettings)), mConnection(connection), mOptions(options)
{ }

QStringList LogImporter::inTimeOrder(const QStringList &files, Qt::TimeSpec stampSpec)
{
    const LogLineParser parser(stampSpec);
    struct Keyed {
        QString path;
        qint64 key;
    };
    QList<Keyed> keyed;
    for (const QString &path : files) {
        qint64 key = std::numeric_limits<qint64>::max();
        try {
            LogReader reader(path);
            reader.open();
            QByteArray line;
            for (int i = 0; i < StampSearchLines && reader.readLine(line); ++i) {
                const LogLineParser::Line parsed = parser.parse(line);
                if (parsed.time.isValid()) {
                    key = parsed.time.toMSecsSinceEpoch();
                    break;
                }
            }
            if (key == std::numeric_limits<qint64>::max())
                key = QFileInfo(path).lastModified().toMSecsSinceEpoch();
        } catch (const std::runtime_error &) {
            // Reported when it is imported.
        }
        keyed.append({path, key});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) { return a.key < b.key; });
    QStringList ordered;
    for (const Keyed &k : keyed)
        ordered << k.path;
    return ordered;
}

ImportSummary LogImporter::run(const QStringList &files, ImportProgress *progress, const std::atomic_bool *stop)
{
    QElapsedTimer timer;
    timer.start();
    ImportSummary summary;

    auto clock = std::make_shared<ImportClock>();
    BeaconRoad road(mStationSettings);
    road.setClock(clock);
    RoadHost host(road);

    ImportView view(mOptions.switches);
    // Each beacon stored once, in batches of one transaction.
    BeaconStore beacons(mConnection, view, &host, mOptions.beaconsPerTransaction);
    const BatchExecutor &executor = beacons.executor();
    beacons.recorder().weatherRecord() = std::make_shared<WeatherReadings>();
    // Text4's clock: nobody sees it here.
    const QDateTime shown = QDateTime::currentDateTime();
    beacons.recorder().setClock([shown] { return shown; });

    const auto store = [&](const BeaconRecordRef &beacon) {
        beacons.store(beacon);
        const auto *received = static_cast<const ReceivedBeacon *>(beacon.get());
        const ReceivedBeacon::Values &v = received->values();
        const ImportView::Switches &on = view.switches();
        if (on.enforceExclusions && v.excluded == HostTrue) {
            ++summary.excluded;
        } else if ((v.stationType == StationType::Fixed && !on.storeFixed)
            || (v.stationType == StationType::Mobile && !on.storeMobile)
            || (v.stationType == StationType::Weather && !on.storeWx)) {
            ++summary.notRecorded;
        }
    };

    try {
        beacons.begin();
    } catch (const OdbcError &error) {
        summary.problems << QStringLiteral("cannot start a transaction: ") + error.describe();
        summary.seconds = double(timer.nsecsElapsed()) / 1e9;
        return summary;
    }

    qint64 bytesTotal = 0;
    for (const QString &path : files)
        bytesTotal += QFileInfo(path).size();
    qint64 bytesBefore = 0;

    const LogLineParser parser(mOptions.stampSpec);
    QByteArray raw;
    for (const QString &path : files) {
        if ((stop && *stop) || executor.failed())
            break;
        summary.files << path;
        LogReader reader(path);
        try {
            reader.open();
            while (reader.readLine(raw)) {
                ++summary.lines;
                const LogLineParser::Line line = parser.parse(raw);
                if (line.kind == LogLineParser::Kind::Skipped) {
                    ++summary.skipped;
                } else if (line.kind == LogLineParser::Kind::Bad) {
                    ++summary.bad;
                } else {
                    ++summary.packets;
                    clock->setLineTime(line.time);
                    if (auto beacon = road.take(line.packet, 0))
                        store(beacon);
                }
                if (executor.failed() || (stop && *stop))
                    break;
                if (progress && (summary.lines & 0x3ff) == 0)
                    progress->update(
                        bytesBefore + reader.position(), bytesTotal, summary.lines, executor.storedBeacons());
            }
        } catch (const std::runtime_error &error) {
            summary.problems << QString::fromStdString(error.what());
        }
        bytesBefore += QFileInfo(path).size();
    }
    beacons.flush();
    if (progress) {
        progress->update(bytesBefore, bytesTotal, summary.lines, executor.storedBeacons(), true);
        progress->finish();
    }

    const HostCounters &counters = road.counters();
    summary.duplicates = counters.duplicates;
    summary.undecodable = counters.rejected;
    summary.remembered = counters.remembered;
    summary.dropped = counters.dropped;
    summary.beacons = counters.beacons;
    summary.stored = executor.storedBeacons();
    summary.alreadyStored = executor.alreadyStoredBeacons();
    summary.refused = executor.refusedBeacons();
    summary.refusals = executor.refusals();
    summary.transactions = executor.transactions();
    summary.uncommitted = summary.beacons - summary.stored - summary.alreadyStored - summary.refused - summary.excluded
        - summary.notRecorded;
    if (executor.failed())
        summary.problems << QStringLiteral("the database: ") + executor.fatalError();
    summary.interrupted = stop && *stop;
    summary.seconds = double(timer.nsecsElapsed()) / 1e9;
    return summary;
}

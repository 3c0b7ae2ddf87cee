#include "import/LogImporter.h"

#include "host/WeatherReadings.h"
#include "import/ImportClock.h"
#include "import/ImportProgress.h"
#include "import/LogLineParser.h"
#include "import/LogReader.h"
#include "recording/BeaconStore.h"
#include "road/BeaconRoad.h"
#include "road/RoadHost.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

// Lines read to find a file's first time stamp.
constexpr int StampSearchLines = 1000;

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
        if (LogReader::isStream(path)) {
            keyed.append({path, key});
            continue;
        }
        try {
            LogReader reader(path);
            reader.open();
            QByteArray line;
            for (int i = 0; i < StampSearchLines && reader.readLine(line) != LogReader::Result::End; ++i) {
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

ImportSummary LogImporter::run(const QStringList &files, ImportProgress *progress, const std::atomic_int *stop)
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
        bytesTotal += (LogReader::isStream(path) ? 0 : QFileInfo(path).size());
    qint64 bytesBefore = 0;

    QFile rejects(mOptions.rejectsPath);
    if (!mOptions.rejectsPath.isEmpty() && !rejects.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        summary.problems << QStringLiteral("cannot write %1: %2").arg(mOptions.rejectsPath, rejects.errorString());
    }
    const auto stopping = [stop] { return stop && stop->load() != 0; };

    const LogLineParser parser(mOptions.stampSpec);
    QByteArray raw;
    for (const QString &path : files) {
        if (stopping() || executor.failed())
            break;
        summary.files << path;
        QMap<LogLineParser::Format, qint64> formats;
        bool comments = false;
        qint64 lineNumber = 0;
        const auto reject = [&](const QString &reason) {
            if (rejects.isOpen())
                rejects.write(QFile::encodeName(path) + ':' + QByteArray::number(lineNumber) + ": " + reason.toUtf8()
                    + ": " + raw + '\n');
        };
        LogReader reader(path, stop);
        try {
            reader.open();
            while (true) {
                const LogReader::Result read = reader.readLine(raw);
                if (read == LogReader::Result::End)
                    break;
                ++summary.lines;
                ++lineNumber;
                if (read == LogReader::Result::TooLong) {
                    ++summary.tooLong;
                    reject(ImportSummary::tooLongReason());
                } else {
                    const LogLineParser::Line line = parser.parse(raw);
                    if (line.format == LogLineParser::Format::AprsIs)
                        comments = true;
                    if (line.kind == LogLineParser::Kind::Skipped) {
                        ++summary.skipped;
                        if (line.format == LogLineParser::Format::DireWolf)
                            ++formats[line.format];
                    } else if (line.kind == LogLineParser::Kind::Bad) {
                        ++summary.bad;
                        reject(line.reason);
                    } else if (line.kind == LogLineParser::Kind::TooLong) {
                        ++summary.tooLong;
                        reject(line.reason);
                    } else if (line.kind == LogLineParser::Kind::BadTime) {
                        ++summary.badTime;
                        reject(line.reason);
                    } else {
                        ++summary.packets;
                        ++formats[line.format];
                        clock->setLineTime(line.time);
                        const qint64 rejectedBefore = road.counters().rejected;
                        if (auto beacon = road.take(line.packet, line.radioPort))
                            store(beacon);
                        if (road.counters().rejected != rejectedBefore) {
                            const QString reason = ImportSummary::rejectionText(road.lastRejection());
                            ++summary.rejections[reason];
                            reject(reason);
                        }
                    }
                }
                if (executor.failed() || stopping())
                    break;
                if (progress && (summary.lines & 0x3ff) == 0)
                    progress->update(
                        bytesBefore + reader.position(), bytesTotal, summary.lines, executor.storedBeacons());
            }
        } catch (const std::runtime_error &error) {
            summary.problems << QString::fromStdString(error.what());
        }
        // The file's kind: the form most of its lines take; TNC2 lines
        // between "#" comments are an APRS-IS capture.
        LogLineParser::Format format = LogLineParser::Format::None;
        for (auto it = formats.cbegin(); it != formats.cend(); ++it) {
            if (format == LogLineParser::Format::None || it.value() > formats.value(format))
                format = it.key();
        }
        if (format == LogLineParser::Format::Tnc2 && comments)
            format = LogLineParser::Format::AprsIs;
        summary.fileFormats << LogLineParser::formatName(format);
        bytesBefore += (LogReader::isStream(path) ? 0 : QFileInfo(path).size());
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
    summary.stopSignal = stop ? stop->load() : 0;
    summary.interrupted = summary.stopSignal != 0;
    summary.seconds = double(timer.nsecsElapsed()) / 1e9;
    return summary;
}

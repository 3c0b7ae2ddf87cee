// What the beacon road adds to the database's own cost: for each database and
// station kind, processBeacon (gates, Latest Data fields on real widgets,
// statement building, both inserts) against the two finished statements
// executed bare on the same connection. The two are interleaved beacon by
// beacon so both see the same server, cache and table size.
//
//   bench_recording [--plain-view] [beacons per kind, default 2000] [database...]
//
// --plain-view keeps the Latest Data texts and the status in plain strings
// instead of the window's widgets, to show the recorder's own share.
//
// Needs ODBCSYSINI=<repo>/odbc and ODBCINI=<dbservers>/odbc.ini with the
// servers of scripts/db-servers.sh running.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "recording/BeaconRecorder.h"
#include "support/SampleReadings.h"
#include "support/ScriptedBeaconRecord.h"
#include "support/ScriptedHost.h"
#include "support/WidgetRecorderView.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The recorder's controls as plain strings.
class PlainView : public RecorderView
{
public:
    int checkValue(int checkNumber) const override { return checkNumber == 4 ? 0 : 1; }
    void setLatestData(int textNumber, const QString &text) override { mTexts[textNumber - 1] = text; }
    void setStatus(const QString &caption) override { mStatus = caption; }
    QString status() const { return mStatus; }

private:
    QString mTexts[4];
    QString mStatus;
};

// Keeps the statements instead of running them.
class CapturingExecutor : public StatementExecutor
{
public:
    explicit CapturingExecutor(SqlDialect dialect) : mDialect(dialect) { }
    QStringList statements;
    void execute(const QString &statement) override { statements.append(statement); }
    SqlDialect dialect() const override { return mDialect; }

private:
    SqlDialect mDialect;
};

// A record whose reads cost what a host's plain property reads cost; the
// tests' scripted record logs every read, which is not what is measured here.
class PlainBeaconRecord : public BeaconRecord
{
public:
    ScriptedBeaconRecord::Fields f;

    QString callsign() const override { return f.callsign; }
    QString symbolCode() const override { return f.symbolCode; }
    QString symbolTable() const override { return f.symbolTable; }
    QString packetHeader() const override { return f.packetHeader; }
    QString packetText() const override { return f.packetText; }
    QString statusText() const override { return f.statusText; }
    QString objectOwner() const override { return f.objectOwner; }
    float longitude() const override { return f.longitude; }
    float latitude() const override { return f.latitude; }
    qint16 radioPort() const override { return f.radioPort; }
    HostBool heardDirect() const override { return f.heardDirect; }
    float speed() const override { return f.speed; }
    qint16 course() const override { return f.course; }
    QDateTime timeA() const override { return f.timeA; }
    QDateTime timeB() const override { return f.timeB; }
    float height() const override { return f.height; }
    float distance() const override { return f.distance; }
    qint16 commentStart() const override { return f.commentStart; }
    qint16 stationType() const override { return f.stationType; }
    HostBool excluded() const override { return f.excluded; }
};

std::shared_ptr<PlainBeaconRecord> beacon(qint16 kind)
{
    auto record = std::make_shared<PlainBeaconRecord>();
    ScriptedBeaconRecord::Fields &f = record->f;
    f.stationType = kind;
    f.callsign = kind == StationType::Weather ? QStringLiteral("WX1ABC") : QStringLiteral("N0CALL-9");
    f.timeA = QDateTime(QDate(2004, 5, 6), QTime(14, 30, 0));
    f.timeB = f.timeA.addSecs(-5);
    f.distance = 12.5f;
    f.latitude = 3090.25f;
    f.longitude = -7.5f;
    f.symbolTable = QStringLiteral("/");
    f.symbolCode = QStringLiteral(">");
    f.statusText = QStringLiteral("On the air, it's 20°C");
    f.packetText = QStringLiteral("!5130.12N/00007.50W>PHG2360 Mobile on the M4 \\ 73");
    f.commentStart = 21;
    f.packetHeader = QStringLiteral("N0CALL-9>APRS,WIDE1-1,WIDE2-1,qAR,N0CALL-10");
    f.speed = 88.5f;
    f.course = 270;
    f.height = 112;
    return record;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double mean(const std::vector<double> &values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum / double(values.size());
}

const char *kindName(qint16 kind)
{
    return kind == StationType::Fixed ? "fixed" : kind == StationType::Mobile ? "mobile" : "weather";
}

// Returns false when the database cannot be used.
template <typename View>
bool measure(const TestDatabase &db, int beacons)
{
    const QString unreachable = unreachableReason(db);
    if (!unreachable.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(unreachable));
        return false;
    }
    recreateTables(db);
    OdbcConnection connection(QStringLiteral("Connection1"));
    connection.open(db.connectionString());

    View view;
    ScriptedHost host;
    host.weather.insert(QStringLiteral("WX1ABC"), std::make_shared<WeatherReadings>(sampleWeatherReadings()));

    for (qint16 kind : {StationType::Fixed, StationType::Mobile, StationType::Weather}) {
        const auto record = beacon(kind);

        // The exact statements processBeacon sends for this beacon.
        CapturingExecutor capture(connection.dialect());
        BeaconRecorder capturing(view, capture);
        capturing.attachHost(&host);
        capturing.weatherRecord() = std::make_shared<WeatherReadings>();
        capturing.processBeacon(record);
        if (capture.statements.size() != 2) {
            std::fprintf(stderr, "expected two statements, got %lld\n", qlonglong(capture.statements.size()));
            return false;
        }
        const QString stations = capture.statements.at(0);
        const QString detail = capture.statements.at(1);

        BeaconRecorder recorder(view, connection);
        recorder.attachHost(&host);
        recorder.weatherRecord() = std::make_shared<WeatherReadings>();

        // Warm up both paths.
        for (int i = 0; i < 50; ++i) {
            recorder.processBeacon(record);
            connection.execute(stations);
            connection.execute(detail);
        }

        std::vector<double> road, bare;
        road.reserve(size_t(beacons));
        bare.reserve(size_t(beacons));
        for (int i = 0; i < beacons; ++i) {
            // Alternate which goes first, so neither always follows the other.
            for (int turn = 0; turn < 2; ++turn) {
                const bool roadTurn = (turn == 0) == (i % 2 == 0);
                const auto start = Clock::now();
                if (roadTurn) {
                    recorder.processBeacon(record);
                } else {
                    connection.execute(stations);
                    connection.execute(detail);
                }
                const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
                (roadTurn ? road : bare).push_back(us);
            }
            // As the drain tick does after each beacon; not timed.
            QCoreApplication::processEvents();
        }
        if (!view.status().isEmpty()) {
            std::fprintf(stderr, "%s: the road reported \"%s\"\n", qPrintable(db.name), qPrintable(view.status()));
            return false;
        }

        // The road alone: every statement built, none sent.
        std::vector<double> alone;
        alone.reserve(size_t(beacons));
        for (int i = 0; i < beacons; ++i) {
            capture.statements.clear();
            const auto start = Clock::now();
            capturing.processBeacon(record);
            alone.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            QCoreApplication::processEvents();
        }

        const double roadMedian = median(road);
        const double bareMedian = median(bare);
        const double roadMean = mean(road);
        const double bareMean = mean(bare);
        std::printf("| %-8s | %-7s | %9.1f | %9.1f | %+6.1f%% | %9.1f | %9.1f | %+6.1f%% | %10.1f |\n",
            qPrintable(db.name), kindName(kind), roadMedian, bareMedian, 100 * (roadMedian - bareMedian) / bareMedian,
            roadMean, bareMean, 100 * (roadMean - bareMean) / bareMean, median(alone));
        std::fflush(stdout);
    }
    connection.close();
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool plainView = args.removeAll(QStringLiteral("--plain-view")) > 0;
    const int beacons = args.isEmpty() ? 2000 : qMax(1, args.first().toInt());
    QStringList names = args.mid(1);
    if (names.isEmpty())
        names = {QStringLiteral("sqlite"), QStringLiteral("postgres"), QStringLiteral("mariadb")};

    QTemporaryDir dir;
    std::printf("%d beacons per kind, microseconds per beacon (two inserts), %s\n\n", beacons,
        plainView ? "plain-string view" : "widget view");
    std::printf(
        "| database | kind    | road med. | bare med. | added  | road mean | bare mean | added  | road alone |\n");
    std::printf(
        "|----------|---------|-----------|-----------|--------|-----------|-----------|--------|------------|\n");
    bool ok = true;
    for (const QString &name : names) {
        const TestDatabase db = testDatabase(name, dir.filePath(QStringLiteral("keldan.db")));
        ok = (plainView ? measure<PlainView>(db, beacons) : measure<WidgetRecorderView>(db, beacons)) && ok;
    }
    return ok ? 0 : 1;
}

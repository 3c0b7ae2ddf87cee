// Intake cost: real APRS traffic (tests/data/aprs/aprs-sample.tnc2, 1807
// lines) sent over a loopback TCP connection, as KISS frames or as APRS-IS
// lines, into the Linux host, until every packet has been taken in; the
// beacons it raises are queued. Each pass uses a new host, so the duplicate
// filter sees the sample once. Prints the median of the passes.
//
// Usage: bench_intake [PASSES] [SAMPLE_FILE]
#include "aprs/AprsDecoder.h"
#include "linuxhost/LinuxHost.h"
#include "linuxhost/feeds/AprsIsSource.h"
#include "linuxhost/feeds/KissTcpSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <optional>

namespace {

// "N0CALL-9" as an AX.25 address; nothing when it is not one.
std::optional<QByteArray> encodeAddress(QByteArray call, bool last, bool repeated)
{
    int ssid = 0;
    if (call.endsWith('*')) {
        call.chop(1);
        repeated = true;
    }
    const qsizetype dash = call.indexOf('-');
    if (dash >= 0) {
        bool ok = false;
        ssid = call.mid(dash + 1).toInt(&ok);
        if (!ok || ssid < 0 || ssid > 15)
            return std::nullopt;
        call.truncate(dash);
    }
    if (call.isEmpty() || call.size() > 6)
        return std::nullopt;
    QByteArray out;
    for (int i = 0; i < 6; ++i) {
        const char c = i < call.size() ? call.at(i) : ' ';
        if (!(c == ' ' || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return std::nullopt;
        out.append(char(c << 1));
    }
    out.append(char(0x60 | (ssid << 1) | (repeated ? 0x80 : 0) | (last ? 1 : 0)));
    return out;
}

// A TNC2 line as a KISS frame on port 0, without the igate's q construct;
// nothing for lines that cannot be AX.25 (APRS-IS-only callsigns).
std::optional<QByteArray> kissFrame(const QByteArray &line)
{
    const qsizetype colon = line.indexOf(':');
    const qsizetype arrow = line.indexOf('>');
    if (colon < 0 || arrow < 0 || arrow > colon)
        return std::nullopt;
    QList<QByteArray> path = line.mid(arrow + 1, colon - arrow - 1).split(',');
    // What an igate added is not on the air.
    for (qsizetype i = 1; i < path.size(); ++i) {
        if (path.at(i).startsWith("qA")) {
            path.resize(i);
            break;
        }
    }
    if (path.size() > 9)
        return std::nullopt;
    QByteArray frame;
    for (qsizetype i = 0; i < path.size() + 1; ++i) {
        const QByteArray call = i == 0 ? path.at(0) : i == 1 ? line.left(arrow) : path.at(i - 1);
        const auto address = encodeAddress(call, i == path.size(), false);
        if (!address)
            return std::nullopt;
        frame += *address;
    }
    frame += char(0x03);
    frame += char(0xF0);
    frame += line.mid(colon + 1);
    QByteArray out(1, char(0xC0));
    out += char(0x00);
    for (const char b : std::as_const(frame)) {
        if (b == char(0xC0))
            out += "\xDB\xDC";
        else if (b == char(0xDB))
            out += "\xDB\xDD";
        else
            out += b;
    }
    out += char(0xC0);
    return out;
}

struct PassResult {
    qint64 nanoseconds;
    qint64 received;
    qint64 beacons;
};

// One pass: a new host connects to a fresh server, which sends the stream in
// one go once the link stands; the clock runs until the last packet is in.
PassResult runPass(bool kiss, const QByteArray &stream, qint64 packets)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    LinuxHost host {HostSettings()};
    if (kiss)
        host.attachSource(std::make_unique<KissTcpSource>(QStringLiteral("127.0.0.1"), server.serverPort()));
    else
        host.attachSource(std::make_unique<AprsIsSource>(QStringLiteral("127.0.0.1"), server.serverPort(),
            QStringLiteral("N0CALL"), QStringLiteral("-1"), QString()));
    std::deque<BeaconRecordRef> queue;
    QObject::connect(&host, &HostApplication::NotifyBeaconData, &host,
        [&queue](BeaconRecordRef beacon) { queue.push_back(std::move(beacon)); });
    host.start();
    while (!server.hasPendingConnections())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QTcpSocket *peer = server.nextPendingConnection();
    auto *source = static_cast<TcpFeedSource *>(host.source());
    while (!source->isLinkUp())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    QElapsedTimer clock;
    clock.start();
    peer->write(stream);
    while (host.counters().received < packets)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 ns = clock.nsecsElapsed();
    return {ns, host.counters().received, qint64(queue.size())};
}

void report(const char *name, const QList<PassResult> &passes, qint64 packets, qint64 bytes)
{
    QList<qint64> times;
    for (const PassResult &p : passes)
        times << p.nanoseconds;
    std::sort(times.begin(), times.end());
    const double median = double(times.at(times.size() / 2));
    std::printf("%-8s %5lld packets (%lld bytes) -> %lld beacons: median %.2f us per packet, %.0f packets/s "
                "(fastest pass %.2f us, slowest %.2f us)\n",
        name, static_cast<long long>(packets), static_cast<long long>(bytes),
        static_cast<long long>(passes.first().beacons), median / 1000.0 / double(packets),
        double(packets) * 1e9 / median, double(times.first()) / 1000.0 / double(packets),
        double(times.last()) / 1000.0 / double(packets));
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const QString samplePath = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                        : QStringLiteral(KELDAN_SOURCE_DIR "/tests/data/aprs/aprs-sample.tnc2");
    QFile sample(samplePath);
    if (!sample.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_intake: %s: %s\n", qPrintable(samplePath), qPrintable(sample.errorString()));
        return 1;
    }
    QList<QByteArray> lines;
    while (!sample.atEnd()) {
        QByteArray line = sample.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        // A line must stay one line on APRS-IS and one frame on KISS.
        if (!line.isEmpty() && !line.contains('\r') && !line.contains('\n'))
            lines << line;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("keldan.*=false"));

    QByteArray aprsIs;
    for (const QByteArray &line : std::as_const(lines))
        aprsIs += line + "\r\n";
    QByteArray kiss;
    qint64 kissPackets = 0;
    for (const QByteArray &line : std::as_const(lines)) {
        if (const auto frame = kissFrame(line)) {
            kiss += *frame;
            ++kissPackets;
        }
    }

    // Decoding alone, for comparison.
    QElapsedTimer clock;
    qint64 decodeNs = 0;
    for (int pass = 0; pass < passes; ++pass) {
        clock.start();
        int ok = 0;
        for (const QByteArray &line : std::as_const(lines))
            ok += aprs::decode(std::string_view(line.constData(), size_t(line.size()))).ok() ? 1 : 0;
        decodeNs += clock.nsecsElapsed();
        if (ok == 0)
            return 1;
    }

    QList<PassResult> kissPasses;
    QList<PassResult> aprsIsPasses;
    for (int pass = 0; pass < passes; ++pass) {
        kissPasses << runPass(true, kiss, kissPackets);
        aprsIsPasses << runPass(false, aprsIs, qint64(lines.size()));
    }
    std::printf("bench_intake: %d passes of %s\n", passes, qPrintable(samplePath));
    report("KISS", kissPasses, kissPackets, kiss.size());
    report("APRS-IS", aprsIsPasses, qint64(lines.size()), aprsIs.size());
    std::printf("decode   %5lld lines alone: mean %.2f us per line\n", static_cast<long long>(lines.size()),
        double(decodeNs) / 1000.0 / double(passes) / double(lines.size()));
    return 0;
}

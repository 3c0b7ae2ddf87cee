// Resident memory of the Linux host over months of traffic, in minutes: every
// callsign is new, and each sends a status text, a position-less weather
// report and a position beacon (what fills the per-station memories), while a
// flood of distinct packets fills the 30 s duplicate window. The host's steady
// clock advances 1 ms per 100 packets, so the window holds 3 million packets'
// worth of time and only its count bound keeps it small. Prints resident
// memory (from /proc/self/statm) every REPORT callsigns.
//
// Usage: bench_memory [CALLSIGNS] [REPORT]
#include "linuxhost/HostSettings.h"
#include "linuxhost/LinuxHost.h"
#include "road/HostClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <unistd.h>

namespace {

class BenchClock : public HostClock
{
public:
    QDateTime now() const override { return mLocal; }
    qint64 steadyMs() const override { return mSteadyMs; }
    void advanceMs(qint64 ms) { mSteadyMs += ms; }

private:
    QDateTime mLocal = QDateTime(QDate(2026, 12, 7), QTime(10, 0));
    qint64 mSteadyMs = 1'000'000;
};

double residentMiB()
{
    FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return -1;
    long pages = 0;
    long resident = 0;
    const int got = std::fscanf(statm, "%ld %ld", &pages, &resident);
    std::fclose(statm);
    return got == 2 ? double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : -1;
}

// A distinct six-character callsign for each number: "B" and five base-36 digits.
QByteArray callsignOf(qint64 number)
{
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QByteArray call(6, 'B');
    for (int i = 5; i >= 1; --i) {
        call[i] = digits[number % 36];
        number /= 36;
    }
    return call;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 callsigns = argc > 1 ? QByteArray(argv[1]).toLongLong() : 3'000'000;
    const qint64 report = argc > 2 ? QByteArray(argv[2]).toLongLong() : 250'000;

    LinuxHost host {HostSettings()};
    auto clock = std::make_shared<BenchClock>();
    host.setClock(clock);
    qint64 beacons = 0;
    QObject::connect(&host, &HostApplication::NotifyBeaconData, [&beacons](BeaconRecordRef) { ++beacons; });

    std::printf("%12s %12s %12s %14s %10s\n", "callsigns", "packets", "beacons", "resident MiB", "seconds");
    std::printf("%12d %12d %12d %14.1f %10.1f\n", 0, 0, 0, residentMiB(), 0.0);
    QElapsedTimer timer;
    timer.start();
    qint64 packets = 0;
    auto take = [&](const QByteArray &line) {
        host.takePacket(line, 0);
        if (++packets % 100 == 0)
            clock->advanceMs(1);
    };
    for (qint64 n = 1; n <= callsigns; ++n) {
        const QByteArray call = callsignOf(n);
        take(call + ">APRS,TCPIP*,qAC,T2TEST:>Monitoring 144.800 MHz from the hill, station " + call);
        take(call + ">APRS,TCPIP*,qAC,T2TEST:_10090556c220s004g005t077r000p000P000h50b09900wRSW");
        take(call + ">APRS,TCPIP*,qAC,T2TEST:!4903.50N/07201.75W_ weather station " + call);
        // The flood: a telemetry line that is never a beacon, but is kept by the duplicate window.
        take(call + ">APRS,TCPIP*,qAC,T2TEST:T#" + QByteArray::number(n % 1000) + ",100,200,300,400,500,00000000");
        if (n % report == 0)
            std::printf("%12lld %12lld %12lld %14.1f %10.1f\n", n, packets, beacons, residentMiB(),
                double(timer.elapsed()) / 1000.0);
        std::fflush(stdout);
    }
    const HostCounters &c = host.counters();
    std::printf("received %lld, beacons %lld, duplicates %lld, remembered %lld, dropped %lld, rejected %lld; "
                "stations remembered %lld\n",
        c.received, c.beacons, c.duplicates, c.remembered, c.dropped, c.rejected, qint64(host.stationsRemembered()));
    return 0;
}

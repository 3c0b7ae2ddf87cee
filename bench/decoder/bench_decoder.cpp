// Decodes every line of the APRS sample over and over on one thread and
// reports packets per second. Usage: bench_decoder [seconds] (default 5).
// Each decode includes building and destroying the Packet, as a caller would.
// Besides wall-clock time it reports the thread's CPU time, which other load
// on a shared machine does not inflate.

#include "aprs/AprsDecoder.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const char *path = KELDAN_TEST_DATA "/aprs/aprs-sample.tnc2";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);

    using Clock = std::chrono::steady_clock;
    std::size_t sink = 0;  // keeps the work observable
    auto pass = [&] {
        for (const std::string &line : lines) {
            const aprs::Packet p = aprs::decode(line);
            sink += static_cast<std::size_t>(p.information.size()) + (p.ok() ? 1 : 0);
        }
    };
    for (int i = 0; i < 20; ++i)  // warm caches and the allocator
        pass();

    auto threadSeconds = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    std::size_t packets = 0;
    const double cpuStart = threadSeconds();
    const auto start = Clock::now();
    auto now = start;
    while (std::chrono::duration<double>(now - start).count() < seconds) {
        pass();
        packets += lines.size();
        now = Clock::now();
    }
    const double elapsed = std::chrono::duration<double>(now - start).count();
    const double cpu = threadSeconds() - cpuStart;
    std::printf("lines: %zu, packets decoded: %zu in %.2f s wall, %.2f s thread CPU\n", lines.size(), packets, elapsed, cpu);
    std::printf("wall clock: %.0f packets/s (%.0f ns per packet)\n", packets / elapsed, elapsed * 1e9 / packets);
    std::printf("thread CPU: %.0f packets/s (%.0f ns per packet)\n", packets / cpu, cpu * 1e9 / packets);
    std::printf("(sink %zu)\n", sink % 10);
    return 0;
}
